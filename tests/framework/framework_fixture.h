// A started framework with every built-in component registered, as the game starts it.
#pragma once

#include "framework/core/framework.h"

#include <gtest/gtest.h>

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
