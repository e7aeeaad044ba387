#pragma once

// Base of the tests against a server they start (a compositor): one server
// per test (each test runs in a process of its own under CTest), with a Qt
// application object for the event loop. `Server` has start() and error().

#include "support/CompositorServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace kelvo::testing {

template<typename Server>
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureCoreApplication();
        server_ = std::make_unique<Server>();
        ASSERT_TRUE(server_->start()) << server_->error().toStdString();
    }

    void TearDown() override { server_.reset(); }

    Server &server() { return *server_; }

private:
    std::unique_ptr<Server> server_;
};

} // namespace kelvo::testing
