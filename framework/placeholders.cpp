// Registration records of the components not built yet. They register in their fixed places
// of the built-in table, so category order holds, but their class objects are not available.
#include "framework/core/framework.h"
#include "framework/core/modules.h"

namespace {

const VkCategoryRef kSoundControl[] = {{&CATID_VkSoundControl, "Vesk SoundControl"}};

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
const VkGuid kClsidDxSoundControl0 = {
    0x3B761161, 0xDB91, 0x11D2, {0xBE, 0x85, 0x08, 0x00, 0x09, 0xD7, 0xC1, 0xD3}};
const VkComponentRecord kDxSoundControlRecords[] = {
    {&kClsidDxSoundControl0, 1, kSoundControl, 0, nullptr, Unavailable, "Vesk - DX Sound Control",
     "Vesk.DXSoundControl.5.0", "Vesk.DXSoundControl", nullptr},
};

} // namespace

VkResult VkStreamedSoundModuleRegister(IVkRegistry* registry) {
    return RegisterUnavailable<kStreamedSoundRecords>(registry);
}

VkResult VkDxSoundControlModuleRegister(IVkRegistry* registry) {
    return RegisterUnavailable<kDxSoundControlRecords>(registry);
}
