// The real terminal layer on pipes: keys byte by byte, line input that
// leaves the rest of the input alone, the end of input, and the bytes
// written for the screen operations.
#include "console/terminal.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "console/sequences.h"

namespace {

using namespace console;

struct Pipes {
  int in[2];
  int out[2];
  Pipes() {
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
  }
  ~Pipes() {
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
  }
  void type(const std::string& text) { ASSERT_EQ(write(in[1], text.data(), text.size()), ssize_t(text.size())); }
  std::string written() {
    close(out[1]);
    out[1] = -1;
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.append(buffer, size_t(n));
    return result;
  }
};

TEST(TerminalOnPipe, ReadsKeysAndLinesSeparatelyUntilTheEnd) {
  Pipes pipes;
  pipes.type("ab12 x\nz");
  close(pipes.in[1]);
  pipes.in[1] = -1;
  console::Terminal terminal(pipes.in[0], pipes.out[1]);
  EXPECT_EQ(terminal.readKey(), 'a');
  EXPECT_TRUE(terminal.keyWaiting());
  EXPECT_EQ(terminal.readKey(), 'b');
  std::string line;
  for (int c; (c = terminal.readLineByte()) != '\n';) line += char(c);
  EXPECT_EQ(line, "12 x");
  EXPECT_EQ(terminal.readKey(), 'z');  // the line read took nothing past its end
  EXPECT_EQ(terminal.readKey(), console::kEndOfInput);
  EXPECT_EQ(terminal.readKey(), console::kEndOfInput);
  EXPECT_FALSE(terminal.keyWaiting());
  EXPECT_EQ(terminal.readLineByte(), console::kEndOfInput);
}

// A number line of 50 MB is read whole in little memory; of a line longer
// than a read, the rest is never taken for keys.
TEST(TerminalOnPipe, HugeLinesAreReadInLittleMemory) {
  Pipes pipes;
  const std::string megabyte(1 << 20, '7');
  std::thread typist([&] {
    for (int i = 0; i < 50; ++i) pipes.type(megabyte);
    pipes.type("\n5" + std::string(5000, ' ') + "y\nx");
  });
  console::Terminal terminal(pipes.in[0], pipes.out[1]);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  size_t digits = 0;
  while (terminal.readLineByte() == '7') ++digits;
  EXPECT_EQ(digits, size_t{50} << 20);
  EXPECT_EQ(terminal.readLineByte(), '5');
  EXPECT_EQ(terminal.readKey(), 'x');
  typist.join();
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 << 10) << "kilobytes more at the peak";
}

TEST(TerminalOnPipe, WritesScreenOperationsAndConvertedSigns) {
  Pipes pipes;
  {
    console::Terminal terminal(pipes.in[0], pipes.out[1]);
    terminal.showCursor(false);
    terminal.clearScreen();
    terminal.write("2\x81\x7E" "3\n");
  }  // restoring shows the hidden cursor again
  const std::string expected = std::string(kHideCursor) + kClearScreen + "2\xC3\x97" "3\n" + kShowCursor;
  EXPECT_EQ(pipes.written(), expected);
}

}  // namespace

namespace {

TEST(TerminalOnPipe, ClosedOutputIsReportedOnce) {
  Pipes pipes;
  close(pipes.out[0]);
  pipes.out[0] = -1;
  console::Terminal terminal(pipes.in[0], pipes.out[1]);
  terminal.write("lost");
  EXPECT_THROW(terminal.flush(), console::OutputClosed);
  terminal.write("more");
  EXPECT_THROW(terminal.flush(), console::OutputClosed);
}

}  // namespace

namespace {

TEST(TerminalOnPipe, KeyPollShowsTheProgressWrittenBeforeIt) {
  Pipes pipes;
  console::Terminal terminal(pipes.in[0], pipes.out[1]);
  terminal.write("\b\b\b-/|");
  EXPECT_FALSE(terminal.keyWaiting());
  char buffer[16];
  fcntl(pipes.out[0], F_SETFL, O_NONBLOCK);
  EXPECT_EQ(read(pipes.out[0], buffer, sizeof buffer), 6);
}

}  // namespace
