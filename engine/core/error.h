// Error reporting: engine functions return null, 0 or false and record the reason in one
// last-error record; the first error of a run stays until the error module opens again.
#pragma once

#include <cstdint>

struct TvErrorRecord {
    uint32_t pluginID; // 1 engine core, 2 world library; 0 with common codes
    uint32_t errorCode;
};

inline constexpr uint32_t kTvPluginIdCore = 1;
inline constexpr uint32_t kTvPluginIdWorld = 2;

// Common codes (top bit set), shared by all plug-ins.
inline constexpr uint32_t E_TV_NOERROR = 0x80000000u;
inline constexpr uint32_t E_TV_NULLP = 0x80000001u;
inline constexpr uint32_t E_TV_NOMEM = 0x80000002u;
inline constexpr uint32_t E_TV_FILEOPEN = 0x80000003u;
inline constexpr uint32_t E_TV_FILEREAD = 0x80000004u;
inline constexpr uint32_t E_TV_FILEWRITE = 0x80000005u;
inline constexpr uint32_t E_TV_INVALIDPARAM = 0x80000006u;
inline constexpr uint32_t E_TV_NOTOPEN = 0x80000007u;
inline constexpr uint32_t E_TV_PLUGINENGINEOPEN = 0x80000008u;
inline constexpr uint32_t E_TV_FORMATCONVERSION = 0x8000000Cu;
inline constexpr uint32_t E_TV_IMAGEDEPTH = 0x8000000Eu;
inline constexpr uint32_t E_TV_IMAGEFORMAT = 0x8000000Fu;
inline constexpr uint32_t E_TV_RASTERFORMAT = 0x80000011u;
inline constexpr uint32_t E_TV_RASTERDEPTH = 0x80000012u;
inline constexpr uint32_t E_TV_BADVERSION = 0x80000014u;

// Engine core codes (plug-in id 1).
inline constexpr uint32_t E_TV_ACCESSTYPE = 0;
inline constexpr uint32_t E_TV_STREAMTYPE = 1;
inline constexpr uint32_t E_TV_ENDOFSTREAM = 2;
inline constexpr uint32_t E_TV_TEXTURENOTFOUND = 8;
inline constexpr uint32_t E_TV_DXERROR = 11;
inline constexpr uint32_t E_TV_CONTEXTSTACKFULL = 13;
inline constexpr uint32_t E_TV_CONTEXTSTACKEMPTY = 14;
inline constexpr uint32_t E_TV_INVALIDSUBRASTER = 15;
inline constexpr uint32_t E_TV_ZEROLENGTH = 16;
inline constexpr uint32_t E_TV_NOPARENT = 17;
inline constexpr uint32_t E_TV_UNSUPPORTEDREQUEST = 18;
inline constexpr uint32_t E_TV_NOCAMERA = 20;
inline constexpr uint32_t E_TV_NOFRAMEBUFFER = 22;
inline constexpr uint32_t E_TV_BUFFERSIZEMISMATCH = 23;
inline constexpr uint32_t E_TV_ARENAEXHAUSTED = 24;

// Forms the code word; the message describes an invalid parameter and is not stored.
uint32_t TvErrorCode(uint32_t code, const char* message = nullptr);
// Stores the record unless an error is pending; returns it.
TvErrorRecord* TvErrorSet(TvErrorRecord* record);
// Copies the last error into `record`; returns it.
TvErrorRecord* TvErrorGet(TvErrorRecord* record);

// Clears the record that holds errors raised while the error module is closed (TvEngineInit).
void TvErrorClearEarly();

// Records {pluginId, TvErrorCode(code, message)}.
void TvErrorReport(uint32_t pluginId, uint32_t code, const char* message = nullptr);
inline void TvErrorCore(uint32_t code, const char* message = nullptr) {
    TvErrorReport(kTvPluginIdCore, code, message);
}
