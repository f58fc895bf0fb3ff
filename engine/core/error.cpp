#include "engine/core/error.h"

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"

namespace {

TvModuleGlobals g_errorModule;
// Errors raised while the error module is not open (during init and open) land here.
TvErrorRecord g_earlyError = {0, E_TV_NOERROR};

TvErrorRecord* CurrentRecord() {
    if (TvModuleIsOpen(g_errorModule) && TvEngineGetOpenCount() > 0) {
        return TvEngineModuleData<TvErrorRecord>(g_errorModule);
    }
    return &g_earlyError;
}

} // namespace

const int32_t _TvErrorModuleDataSize = sizeof(TvErrorRecord);

uint32_t TvErrorCode(uint32_t code, const char*) {
    return code;
}

TvErrorRecord* TvErrorSet(TvErrorRecord* record) {
    TvErrorRecord* last = CurrentRecord();
    if (last->pluginID != 0 || last->errorCode != E_TV_NOERROR) return record;
    last->pluginID = (record->errorCode & 0x80000000u) ? 0 : record->pluginID;
    last->errorCode = record->errorCode;
    return record;
}

TvErrorRecord* TvErrorGet(TvErrorRecord* record) {
    *record = *CurrentRecord();
    return record;
}

void TvErrorReport(uint32_t pluginId, uint32_t code, const char* message) {
    TvErrorRecord record = {pluginId, TvErrorCode(code, message)};
    TvErrorSet(&record);
}

void TvErrorClearEarly() {
    g_earlyError = {0, E_TV_NOERROR};
}

void* _TvErrorModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* record = static_cast<TvErrorRecord*>(TvEngineInstanceData(instance, offset));
    *record = {0, E_TV_NOERROR};
    g_earlyError = {0, E_TV_NOERROR};
    return TvModuleOpened(g_errorModule, instance, offset);
}

void* _TvErrorModuleClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_errorModule, instance);
}
