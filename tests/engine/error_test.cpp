// Error record: the first error of a run stays; codes with the top bit set carry no plug-in id.
#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "tests/support/null_device.h"

namespace {

TvErrorRecord LastError() {
    TvErrorRecord record;
    return *TvErrorGet(&record);
}

TEST(ErrorRecord, FirstErrorOfARunStays) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(LastError().pluginID, 0u);
    EXPECT_EQ(LastError().errorCode, E_TV_NOERROR);
    TvErrorReport(kTvPluginIdWorld, E_TV_NULLP);
    TvErrorCore(E_TV_NOMEM);
    EXPECT_EQ(LastError().pluginID, 0u);
    EXPECT_EQ(LastError().errorCode, E_TV_NULLP);
}

TEST(ErrorRecord, PluginCodesKeepTheirIdUntilTheNextStart) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    TvErrorRecord record = {kTvPluginIdCore, TvErrorCode(E_TV_ZEROLENGTH)};
    EXPECT_EQ(TvErrorSet(&record), &record);
    EXPECT_EQ(LastError().pluginID, kTvPluginIdCore);
    EXPECT_EQ(LastError().errorCode, E_TV_ZEROLENGTH);

    ASSERT_TRUE(TvEngineStop());
    ASSERT_TRUE(TvEngineStart()); // the error module opens again and clears the record
    EXPECT_EQ(LastError().errorCode, E_TV_NOERROR);
}

TEST(ErrorRecord, ErrorsBeforeTheFirstStartAreKept) {
    NullEngine engine(nullptr, false);
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(TvEngineGetSubSystemInfo(nullptr, 3), nullptr);
    EXPECT_EQ(LastError().pluginID, kTvPluginIdCore);
    EXPECT_EQ(LastError().errorCode, E_TV_UNSUPPORTEDREQUEST);
}

} // namespace
