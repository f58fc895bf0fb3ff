// A line-editing console over a byte stream joined to an ANSI text terminal: output scrolls
// above while the user edits one line at the bottom, with a history recalled by the arrow keys.
// Completed lines queue up for the client.
#pragma once

#include "framework/core/com.h"
#include "framework/streams/stream.h"

#include <cstdint>

extern const VkGuid CLSID_VkTerminal;
extern const VkGuid IID_IVkTerminal;

// No stream is attached, or no completed line is waiting.
constexpr VkResult VK_E_NOTERMINALDATA = static_cast<VkResult>(0x80040065u);

class IVkTerminal : public IVkUnknown {
public:
    // Holds a reference on the stream (null detaches).
    virtual VkResult SetStream(IVkStream* stream) = 0;
    // No reference is added.
    virtual VkResult GetStream(IVkStream** out) = 0;
    // The oldest completed line not yet taken, or null; it stays until NextLine. The text
    // lives in a buffer that the terminal reuses.
    virtual VkResult GetLine(const char** out) = 0;
    virtual VkResult NextLine() = 0;
    virtual VkResult Print(const char* text) = 0;
    // Where the next printed text starts (1-based); fails above 999.
    virtual VkResult SetOutputPosition(int32_t column, int32_t row) = 0;
    // Reads and handles the keys that have come in.
    virtual VkResult Poll() = 0;
    virtual VkResult Initialise() = 0;
    virtual VkResult Redraw() = 0;
    virtual VkResult DeleteBack() = 0;
    virtual VkResult DeleteAtCursor() = 0;
    // 1 when the character went in; 0 (and a bell to the terminal) when the line or the text
    // ring has no room.
    virtual int32_t InsertChar(const char* c) = 0;

protected:
    ~IVkTerminal() = default;
};

VkResult VkCreateTerminal(IVkUnknown* outer, IVkUnknown** out);
