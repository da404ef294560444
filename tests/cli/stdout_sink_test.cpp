#include "cli/stdout_sink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace pibgen {
namespace {

std::atomic<int> alarms{0};
extern "C" void CountAlarm(int) { alarms.fetch_add(1); }

// Standard output is a pipe read slowly while a timer keeps interrupting the writes: each
// write comes back short or fails with EINTR, or, on a non-blocking pipe, with EAGAIN when the
// pipe is full. Every byte must still arrive, in order.
class StdoutSinkTest : public ::testing::TestWithParam<bool> {};

TEST_P(StdoutSinkTest, SurvivesShortInterruptedAndRefusedWrites) {
  alarms = 0;
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  if (GetParam()) {
    ASSERT_EQ(::fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
  }
  const int saved = ::dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  ASSERT_EQ(::dup2(ends[1], STDOUT_FILENO), STDOUT_FILENO);
  ::close(ends[1]);

  // The reader is started with the timer's signal blocked, so only the writer is interrupted.
  sigset_t alarm_only;
  sigemptyset(&alarm_only);
  sigaddset(&alarm_only, SIGALRM);
  ::pthread_sigmask(SIG_BLOCK, &alarm_only, nullptr);
  std::string received;
  std::thread reader([&] {
    char block[4096];
    for (ssize_t got; (got = ::read(ends[0], block, sizeof block)) != 0;) {
      if (got > 0) received.append(block, static_cast<size_t>(got));
      ::usleep(100);
    }
  });
  ::pthread_sigmask(SIG_UNBLOCK, &alarm_only, nullptr);
  struct sigaction action = {};
  struct sigaction earlier = {};
  action.sa_handler = CountAlarm;  // no SA_RESTART: a blocked write is cut short
  ::sigaction(SIGALRM, &action, &earlier);
  const itimerval every_ms = {{0, 1000}, {0, 1000}};
  ::setitimer(ITIMER_REAL, &every_ms, nullptr);

  std::string sent;
  {
    StdoutSink sink;
    for (int line = 0; line < 200000; ++line) {
      const std::string text = std::to_string(line) + " type--System.UInt32\n";
      sink.Print(text);
      sent += text;
    }
  }  // the sink flushes what is left as it goes

  const itimerval stop = {};
  ::setitimer(ITIMER_REAL, &stop, nullptr);
  ::sigaction(SIGALRM, &earlier, nullptr);
  ::dup2(saved, STDOUT_FILENO);  // closes the pipe's last write end: the reader sees the end
  ::close(saved);
  reader.join();
  ::close(ends[0]);
  EXPECT_GT(alarms.load(), 0) << "no write was interrupted";
  EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes arrived";
}

INSTANTIATE_TEST_SUITE_P(BlockingOrNot, StdoutSinkTest, ::testing::Bool());

}  // namespace
}  // namespace pibgen
