// A started framework with every built-in component registered, as the game starts it.
#pragma once

#include "framework/core/framework.h"

#include "framework/streams/stream.h"

#include <gtest/gtest.h>

#include <string>

// Reads up to n bytes from a stream, expecting the given result; returns the bytes read.
inline std::string ReadFromStream(IVkStream* stream, uint32_t n, VkResult expected) {
    std::string out(n, '\0');
    uint32_t got = 0;
    EXPECT_EQ(stream->Read(out.data(), n, &got), expected);
    out.resize(got);
    return out;
}

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(VkInitialise(nullptr), VK_OK);
        VkGetRegistries(nullptr, &registry);
        VkRegisterStandardComponents(registry);
        VkRegisterMediaComponents(registry);
    }
    void TearDown() override { VkUninitialise(); }

    template <class T> T* Create(const VkGuid& clsid, const VkGuid& iid) {
        void* out = nullptr;
        EXPECT_EQ(VkCreateInstance(clsid, nullptr, 0, iid, &out), VK_OK);
        return static_cast<T*>(out);
    }

    IVkRegistry* registry = nullptr;
};
