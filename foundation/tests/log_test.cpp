#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/errors.h"
#include "foundation/format.h"
#include "foundation/strings.h"
#include "text_helpers.h"

using namespace foundation;
using foundation_test::text;

namespace {

int64_t fakeNow = 0;
int64_t fakeClock() {
    return fakeNow;
}

class Log : public ::testing::Test {
protected:
    void TearDown() override { closeLog(); }

    // Opens the log at fakeNow and captures what it prints.
    void open(int64_t at) {
        fakeNow = at;
        ASSERT_TRUE(openLog(&fakeClock));
        ::testing::internal::CaptureStdout();
        capturing_ = true;
    }
    // What was printed, with Windows' text-mode line ends made plain.
    std::string printed() {
        capturing_ = false;
        std::string out = ::testing::internal::GetCapturedStdout();
        for (size_t at; (at = out.find("\r\n")) != std::string::npos;) out.erase(at, 1);
        return out;
    }
    ~Log() override {
        if (capturing_) ::testing::internal::GetCapturedStdout();
    }

    bool capturing_ = false;
};

TEST_F(Log, ClosedLogDoesNothing) {
    ASSERT_FALSE(logIsOpen());
    ::testing::internal::CaptureStdout();
    logMessage(LOG_LEVEL_INFO, u"T", u"%d %s", 1, u"x");
    Throwable error(OUT_OF_BOUNDS);
    logErrorCode(&error, u"T");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(logEntryCount(), 0);
    EXPECT_EQ(takeLogEntry(), nullptr);
}

TEST_F(Log, LineFormatAndEntry) {
    open(1000000);
    fakeNow += 1500;
    logMessage(LOG_LEVEL_ERROR, u"String", u"x");
    fakeNow += 1;
    logMessage(LOG_LEVEL_INFO, u"AccessOut", u"readFully fail len=%d n=%d", 8, -1);
    EXPECT_EQ(printed(), "1500 String :x\n1501 AccessOut :readFully fail len=8 n=-1\n");

    ASSERT_EQ(logEntryCount(), 2);
    LogEntry* first = takeLogEntry();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->level, LOG_LEVEL_ERROR);
    EXPECT_EQ(std::u16string(first->tag), u"String");
    EXPECT_EQ(text(first->message), u"x");
    EXPECT_EQ(first->timestamp, 1001500);
    delete first;
    LogEntry* second = takeLogEntry();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->level, LOG_LEVEL_INFO);
    EXPECT_EQ(text(second->message), u"readFully fail len=8 n=-1");
    delete second;
    EXPECT_EQ(logEntryCount(), 0);
    EXPECT_EQ(takeLogEntry(), nullptr);
}

TEST_F(Log, ElapsedTimeIsComputedIn32Bits) {
    // The low 32 bits of the start time are negative as a signed value and
    // wrap before the message; the difference is still right.
    open(0x1FFFFFF00LL);
    fakeNow = 0x200000100LL;
    logMessage(LOG_LEVEL_INFO, u"T", u"wrapped");
    EXPECT_EQ(printed(), "512 T :wrapped\n");
}

TEST_F(Log, ErrorCodeTexts) {
    open(0);
    for (int32_t code : {4, 0, 11, -1, 3}) {
        Throwable error(code);
        logErrorCode(&error, u"Saveable");
    }
    [[maybe_unused]] std::string out = printed();
#ifndef _WIN32
    // Windows prints through the console code page; elsewhere it is UTF-8.
    EXPECT_EQ(out, "0 Saveable :访问数组越界\n0 Saveable :\n0 Saveable :\n0 Saveable :\n0 Saveable :已到流结尾\n");
#endif
    ASSERT_EQ(logEntryCount(), 5);
    LogEntry* entry = takeLogEntry();
    EXPECT_EQ(entry->level, LOG_LEVEL_ERROR);
    EXPECT_EQ(text(entry->message), u"访问数组越界");
    delete entry;
    // closeLog frees the other four (ASan checks).
}

TEST_F(Log, StringDestroyedWhileHeldIsReported) {
    open(0);
    {
        String local;
        local.useCount = 2;
    }
    String* counted = stringFromWide(u"abc");
    retainString(counted);
    releaseString(counted);
    releaseString(counted);  // the last hold: freed quietly
    String* held = stringFromWide(u"abc");
    delete held;  // destroyed while still counted
    EXPECT_EQ(printed(),
              "0 String :free String when useCount = 2  value = ''\n"
              "0 String :free String when useCount = 1  value = 'abc'\n");
    EXPECT_EQ(logEntryCount(), 2);
}

TEST_F(Log, LongMessagesAreCappedButPrintedWhole) {
    open(0);
    std::u16string big(FORMAT_MAX_UNITS + 100, u'w');
    logMessage(LOG_LEVEL_INFO, u"T", u"%s", big.c_str());
    std::string out = printed();
    EXPECT_EQ(out, "0 T :" + std::string(FORMAT_MAX_UNITS, 'w') + "\n");
    LogEntry* entry = takeLogEntry();
    EXPECT_EQ(entry->message->length, FORMAT_MAX_UNITS);
    delete entry;
}

TEST_F(Log, ThreadsLogWholeLines) {
    open(0);
    constexpr int kThreads = 4;
    constexpr int kMessages = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i) logMessage(LOG_LEVEL_INFO, u"T", u"thread %d message %d", t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    std::string out = printed();
    EXPECT_EQ(logEntryCount(), kThreads * kMessages);

    std::set<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.insert(out.substr(start, end - start));
    }
    EXPECT_EQ(lines.size(), static_cast<size_t>(kThreads * kMessages));
    EXPECT_EQ(lines.count("0 T :thread 3 message 199"), 1u);
}

}  // namespace
