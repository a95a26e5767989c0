// What the tests of downloads through the registry share: a registry made for
// each test and released after it once every engine thread is gone, a local
// server for the routes a test sets, and a folder for the files.
#pragma once

#include <gtest/gtest.h>

#include "download/download_registry.h"
#include "tests/download/report_log.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {

class RegistryFixture : public ::testing::Test {
 protected:
  void SetUp() override { CreateDownloadRegistry(); }
  void TearDown() override {
    EXPECT_TRUE(WaitForEngineThreads());
    ReleaseDownloadRegistry();
  }

  LocalHttpServer http_;
  TempFolder folder_;
};

}  // namespace tw::testing
