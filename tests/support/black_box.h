// Black-box tests drive the built plug-in binary only through its entry point
// and record, with the recording host on the other side.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "support/plugin_library.h"
#include "support/recording_host.h"

#ifndef QUILLO_MODULE_FILE
#error "QUILLO_MODULE_FILE must name the built plug-in"
#endif

class BlackBox : public ::testing::Test {
protected:
    static PluginLibrary& library() {
        static PluginLibrary loaded(QUILLO_MODULE_FILE);
        return loaded;
    }

    void SetUp() override {
        host().reset();
        ASSERT_TRUE(library().loaded()) << QUILLO_MODULE_FILE;
        entry = library().entry("main");
        ASSERT_NE(entry, nullptr);
    }

    void TearDown() override { host().reset(); }

    static RecordingHost& host() { return RecordingHost::instance(); }

    std::unique_ptr<EffectHandle> create() {
        AEffect* record = entry(RecordingHost::callback);
        return record == nullptr ? nullptr : std::make_unique<EffectHandle>(record);
    }

    PluginLibrary::Entry entry = nullptr;
};
