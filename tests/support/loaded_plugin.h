// The built plug-in, loaded through the platform loader and registered, with
// an effect instance driven through its entry point: how whole-command tests
// reach the effect.
#ifndef TARSIVEL_TESTS_SUPPORT_LOADED_PLUGIN_H
#define TARSIVEL_TESTS_SUPPORT_LOADED_PLUGIN_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/protocol/effect_instance.h"
#include "host/protocol/plugin_library.h"

namespace tarsivel::testing {

inline std::unique_ptr<host::PluginLibrary> LoadBuiltPlugin() {
    std::string error;
    auto library = host::PluginLibrary::Load(TARSIVEL_PLUGIN_PATH, error);
    EXPECT_NE(library, nullptr) << error;
    if (library) {
        EXPECT_EQ(library->Register(), PF_Err_NONE);
        EXPECT_NE(library->EntryPoint(), nullptr);
    }
    return library;
}

class LoadedPluginFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        library = LoadBuiltPlugin();
        ASSERT_NE(library, nullptr);
        ASSERT_NE(library->EntryPoint(), nullptr);
        instance = std::make_unique<host::EffectInstance>(library->EntryPoint(), 400, 300);
    }
    host::CommandResult Run(PF_Cmd cmd, const host::CommandSettings& settings = {}) {
        return instance->Run(cmd, settings);
    }
    std::unique_ptr<host::PluginLibrary> library;
    std::unique_ptr<host::EffectInstance> instance;
};

}  // namespace tarsivel::testing

#endif
