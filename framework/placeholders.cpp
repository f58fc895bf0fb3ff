// Registration records of the components not built yet. They register in their fixed places
// of the built-in table, so category order holds, but their class objects are not available.
#include "framework/core/framework.h"
#include "framework/core/modules.h"

namespace {

// Placeholder: the class cannot be created yet.
VkResult Unavailable(IVkUnknown*, IVkUnknown** out) {
    *out = nullptr;
    return VK_E_CLASSNOTAVAILABLE;
}

// Placeholder: no class object can be had for these records yet.
VkResult NoClassObject(const VkGuid&, const VkGuid&, void** out) {
    *out = nullptr;
    return VK_E_CLASSNOTAVAILABLE;
}

template <const auto& Records> VkResult RegisterUnavailable(IVkRegistry* registry) {
    return VkRegisterModuleClasses(
        Records, static_cast<int32_t>(sizeof Records / sizeof Records[0]), NoClassObject, registry);
}

const VkGuid kClsidStreamedSound0 = {
    0x8272C380, 0xA705, 0x11D2, {0xAC, 0x17, 0x00, 0x60, 0x08, 0x4E, 0xF0, 0x0B}};
const VkComponentRecord kStreamedSoundRecords[] = {
    {&kClsidStreamedSound0, 0, nullptr, 0, nullptr, Unavailable, "Vesk - Streamed Sound Player",
     "Vesk.StreamedSoundPlayer.5.1", "Vesk.StreamedSoundPlayer", nullptr},
};
} // namespace

VkResult VkStreamedSoundModuleRegister(IVkRegistry* registry) {
    return RegisterUnavailable<kStreamedSoundRecords>(registry);
}
