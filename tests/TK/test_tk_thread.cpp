#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_thread.h"
#include "tk_test_support.h"

using namespace std::chrono_literals;

namespace {

std::atomic<int> g_destroyed{0};

class counted_job : public tk_thread_functor {
public:
    ~counted_job() override { ++g_destroyed; }
    void operator()() override { ran = true; }
    std::atomic<bool> ran{false};
};

class counting_thread : public tk_thread {
public:
    counting_thread() : tk_thread(true) {}
    tk_thread_functor* create_functor() override { return adopt(std::make_unique<counted_job>()); }
};

// Hands out a job it does not own, as the progress page does with the driver.
class lending_thread : public tk_thread {
public:
    explicit lending_thread(tk_thread_functor& job) : tk_thread(false), job_(job) {}
    tk_thread_functor* create_functor() override { return &job_; }

private:
    tk_thread_functor& job_;
};

class throwing_job : public tk_thread_functor {
public:
    void operator()() override { throw std::runtime_error("worker failed"); }
};

class stubborn_job : public tk_thread_functor {
public:
    explicit stubborn_job(std::atomic<bool>& release) : release_(release) {}
    ~stubborn_job() override { ++g_destroyed; }
    void operator()() override
    {
        while (!release_.load()) std::this_thread::sleep_for(5ms);
    }

private:
    std::atomic<bool>& release_;
};

class stubborn_thread : public tk_thread {
public:
    explicit stubborn_thread(std::atomic<bool>& release) : tk_thread(true), release_(release) {}
    tk_thread_functor* create_functor() override { return adopt(std::make_unique<stubborn_job>(release_)); }

private:
    std::atomic<bool>& release_;
};

bool wait_until_stopped(const tk_thread& t)
{
    for (int i = 0; i < 300 && t.is_running(); ++i) std::this_thread::sleep_for(10ms);
    return !t.is_running();
}

std::string assertion_text(int line) { return make_err_meggase("tk_threa", line); }

} // namespace

TEST(TkThread, DefaultJobRunsUntilTerminated)
{
    tk_thread t(true);
    EXPECT_FALSE(t.is_running());
    ASSERT_NE(t.start(), nullptr);
    std::this_thread::sleep_for(150ms);
    EXPECT_TRUE(t.is_running());
    try {
        t.start();
        FAIL() << "started twice";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, assertion_text(92));
    }
    try {
        t.cleanup();
        FAIL() << "cleaned up while running";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, assertion_text(71));
    }
    auto begin = std::chrono::steady_clock::now();
    t.terminate();
    // Ended by the stop request, not by the bounded wait running out.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(tk_thread::k_stop_wait_ms));
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(t.get_functor(), nullptr);
    try {
        t.terminate();
        FAIL() << "terminated an idle thread";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, assertion_text(55));
    }
}

TEST(TkThread, RestartDeletesTheOwnedFinishedJobFirst)
{
    g_destroyed = 0;
    {
        counting_thread t;
        ASSERT_NE(t.start(), nullptr);
        ASSERT_TRUE(wait_until_stopped(t));
        auto* first = static_cast<counted_job*>(t.get_functor());
        EXPECT_TRUE(first->ran.load());
        EXPECT_EQ(g_destroyed.load(), 0);
        ASSERT_NE(t.start(), nullptr);
        EXPECT_EQ(g_destroyed.load(), 1);
        ASSERT_TRUE(wait_until_stopped(t));
    }
    EXPECT_EQ(g_destroyed.load(), 2);
}

TEST(TkThread, LentJobSurvivesCleanupAndDestruction)
{
    g_destroyed = 0;
    counted_job job;
    {
        lending_thread t(job);
        ASSERT_NE(t.start(), nullptr);
        ASSERT_TRUE(wait_until_stopped(t));
        t.cleanup();
        EXPECT_EQ(t.get_functor(), nullptr);
    }
    EXPECT_TRUE(job.ran.load());
    EXPECT_EQ(g_destroyed.load(), 0);
}

TEST(TkThread, StoppedLentJobRunsAgainOnTheNextStart)
{
    tk_thread_functor job; // the default job: runs until asked to stop
    lending_thread t(job);
    ASSERT_NE(t.start(), nullptr);
    t.terminate();
    EXPECT_TRUE(job.stop_requested());
    ASSERT_NE(t.start(), nullptr);
    std::this_thread::sleep_for(150ms);
    EXPECT_TRUE(t.is_running());
    t.terminate();
    EXPECT_FALSE(t.is_running());
}

TEST(TkThread, ThrowingJobIsReportedAndTheProcessGoesOn)
{
    tk_test::temp_dir tmp;
    const std::string path = tmp.file("t.log");
    tk_logger logger(path.c_str(), true, 3, false);
    throwing_job job;
    lending_thread t(job);
    ASSERT_NE(t.start(), nullptr);
    ASSERT_TRUE(wait_until_stopped(t));
    EXPECT_EQ(tk_test::read_file(path), "Worker thread ended by an exception:\nworker failed\r\n");
    EXPECT_EQ(tk_thread::thread_proc(&job), 1u);
    EXPECT_THROW(tk_thread::thread_proc(nullptr), tk_mail_assertion);
}

TEST(TkThread, JobThatIgnoresTheStopIsLeftRunningAndFreedWhenItEnds)
{
    g_destroyed = 0;
    std::atomic<bool> release{false};
    {
        stubborn_thread t(release);
        ASSERT_NE(t.start(), nullptr);
        t.terminate();
        EXPECT_FALSE(t.is_running());
        EXPECT_EQ(t.get_functor(), nullptr);
    }
    EXPECT_EQ(g_destroyed.load(), 0);
    release = true;
    for (int i = 0; i < 300 && g_destroyed.load() == 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(g_destroyed.load(), 1);
}
