// A main window with the game's event routing and a recorder of delivered events.
#pragma once

#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/events.h"
#include "shell/window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

struct RecordedEvent {
    uint32_t code;
    intptr_t a, b;
    int32_t c;
    std::string text; // for file drops: the name as delivered
};

class ShellTest : public ::testing::Test {
protected:
    static std::vector<RecordedEvent>* events;

    // Routes like the game's callback: platform events to the platform handler, the rest
    // that it does not handle itself through the platform request function.
    static int32_t Route(uint32_t code, intptr_t a, intptr_t b, int32_t c) {
        RecordedEvent e{code, a, b, c, {}};
        if (code == MV2_EVENT_FILE_DROPPED) e.text = reinterpret_cast<const char*>(b);
        events->push_back(e);
        switch (code) {
        case 150: case 151: case 159: case 160: case 163: case 164: case 166: case 167:
            return MV2PlatformEventHandler(code, a, b, c);
        case MV2_EVENT_KEY_DOWN: case MV2_EVENT_KEY_UP: case MV2_EVENT_MOUSE_MOVE:
        case MV2_EVENT_FILE_DROPPED: case MV2_EVENT_FOCUS_GAINED: case MV2_EVENT_FOCUS_LOST:
            return 1;
        default:
            return MV2PlatformRequest(code, a, b, c);
        }
    }

    void SetUp() override {
        PlatformResetWindows();
        PlatformClearMessageBoxes();
        gMV2Window = MV2WindowState{};
        gMV2Events = MV2EventState{MV2IgnoreEvent, 0, 0, 0, 0, nullptr, 0, 0};
        MV2ResetKeyStates();
        events = &recorded;
        hwnd = MV2CreateMainWindow(nullptr, SW_SHOW);
        ASSERT_NE(hwnd, nullptr);
        MV2SetEventCallback(Route);
    }

    void TearDown() override {
        MV2SetEventCallback(nullptr);
        PlatformResetWindows();
        PlatformUseManualClock(false);
    }

    // Codes of the recorded events, optionally only those in `only`.
    std::vector<uint32_t> Codes(std::initializer_list<uint32_t> only = {}) const {
        std::vector<uint32_t> out;
        for (const RecordedEvent& e : recorded) {
            if (only.size() == 0 || std::find(only.begin(), only.end(), e.code) != only.end())
                out.push_back(e.code);
        }
        return out;
    }

    static LPARAM KeyParam(uint32_t scan, bool extended = false) {
        return static_cast<LPARAM>(1u | (scan << 16) | (extended ? 1u << 24 : 0u));
    }

    void Key(UINT message, uint32_t scan, bool extended = false) {
        SendMessageA(hwnd, message, 0, KeyParam(scan, extended));
    }

    HWND hwnd = nullptr;
    std::vector<RecordedEvent> recorded;
};
