// SPDX-License-Identifier: BSD-2-Clause
// What zolta-run does to the files it writes: a finished output replaces the
// old one but keeps what the user had (symlinks, hard links, mode, owner), a
// read-only file is refused, streams are written in place, and an interrupted
// or failing run leaves nothing it made behind and says why it failed.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "run_fixture.h"

namespace {

// A small PPM stream of two pictures, and what zolta-run makes of it.
class Outputs : public ZoltaRun {
 protected:
  void SetUp() override {
    ZoltaRun::SetUp();
    write_file(path("in.ppm"), ppm_file_bytes({test_picture(16, 8, 1), test_picture(24, 16, 2)}));
    ASSERT_EQ(run("$Z --config 'Config(4112, 4112, 0, 4112, 0, 0, 4112, 0, 0)' in.ppm want.ppm"), 0)
        << stderr_;
    want_ = read_file(path("want.ppm"));
  }
  int run_to(const std::string& output) {
    return run("$Z --config 'Config(4112, 4112, 0, 4112, 0, 0, 4112, 0, 0)' in.ppm " + output);
  }
  struct stat info(const std::string& name) {
    struct stat st {};
    EXPECT_EQ(lstat(path(name).c_str(), &st), 0) << name;
    return st;
  }
  std::string want_;
};

}  // namespace

TEST_F(Outputs, StandardOutputUnderAnyNameIsWrittenInPlace) {
  ASSERT_EQ(run_to("/dev/stdout > out.ppm"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("out.ppm")) == want_);
  ASSERT_EQ(run_to("/proc/self/fd/1 >> appended.ppm"), 0) << stderr_;
  ASSERT_EQ(run_to("- >> appended.ppm"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("appended.ppm")) == want_ + want_);
  ASSERT_EQ(symlink("/dev/stdout", path("to-stdout").c_str()), 0);
  ASSERT_EQ(run_to("to-stdout > linked.ppm"), 0) << stderr_;
  EXPECT_TRUE(read_file(path("linked.ppm")) == want_);
  EXPECT_TRUE(S_ISLNK(info("to-stdout").st_mode));

  // Devices and named pipes are written as they are.
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  ASSERT_EQ(run("cat fifo > from-fifo.ppm & " + std::string("$Z --config 'Config(4112, 4112, 0, "
                                                            "4112, 0, 0, 4112, 0, 0)' in.ppm fifo; "
                                                            "wait")),
            0)
      << stderr_;
  EXPECT_TRUE(read_file(path("from-fifo.ppm")) == want_);
  EXPECT_TRUE(S_ISFIFO(info("fifo").st_mode));
  EXPECT_EQ(run_to("/dev/null"), 0) << stderr_;
  EXPECT_FALSE(leftovers());
}

TEST_F(Outputs, ReplacingAFileKeepsItsLinksModeAndOwner) {
  // Through a symlink (and a second one to it) the target gets the output.
  write_file(path("real.ppm"), "old");
  ASSERT_EQ(symlink("real.ppm", path("link.ppm").c_str()), 0);
  ASSERT_EQ(symlink(path("link.ppm").c_str(), path("link2.ppm").c_str()), 0);
  ASSERT_EQ(run_to("link2.ppm"), 0) << stderr_;
  EXPECT_TRUE(S_ISLNK(info("link.ppm").st_mode));
  EXPECT_TRUE(S_ISLNK(info("link2.ppm").st_mode));
  EXPECT_TRUE(read_file(path("real.ppm")) == want_);
  // A dangling symlink: the file it names is made.
  ASSERT_EQ(symlink("made.ppm", path("dangling.ppm").c_str()), 0);
  ASSERT_EQ(run_to("dangling.ppm"), 0) << stderr_;
  EXPECT_TRUE(S_ISLNK(info("dangling.ppm").st_mode));
  EXPECT_TRUE(read_file(path("made.ppm")) == want_);

  // Hard links all see the new content.
  write_file(path("a.ppm"), "old");
  ASSERT_EQ(link(path("a.ppm").c_str(), path("b.ppm").c_str()), 0);
  ASSERT_EQ(run_to("a.ppm"), 0) << stderr_;
  EXPECT_EQ(info("a.ppm").st_ino, info("b.ppm").st_ino);
  EXPECT_TRUE(read_file(path("b.ppm")) == want_);

  // The mode stays; so does the owner when we may set it.
  write_file(path("private.ppm"), "old");
  ASSERT_EQ(chmod(path("private.ppm").c_str(), 0600), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path("private.ppm").c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(run_to("private.ppm"), 0) << stderr_;
  const struct stat st = info("private.ppm");
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_TRUE(read_file(path("private.ppm")) == want_);

  // A new file gets the usual mode.
  ASSERT_EQ(run("umask 027 && $Z in.ppm fresh.ppm"), 0) << stderr_;
  EXPECT_EQ(info("fresh.ppm").st_mode & 0777, 0640u);

  // A read-only file is refused, unchanged, with a message that says so.
  write_file(path("locked.ppm"), "old");
  ASSERT_EQ(chmod(path("locked.ppm").c_str(), 0444), 0);
  EXPECT_EQ(run_to("locked.ppm"), 1);
  EXPECT_NE(stderr_.find("locked.ppm is read-only"), std::string::npos) << stderr_;
  EXPECT_EQ(read_file(path("locked.ppm")), "old");
  EXPECT_FALSE(leftovers());
}

TEST_F(Outputs, EveryLegalNameLengthWorks) {
  for (size_t length : {241u, 250u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".ppm";
    ASSERT_EQ(run_to(name), 0) << length << ": " << stderr_;
    EXPECT_TRUE(read_file(path(name)) == want_) << length;
  }
  EXPECT_NE(run_to(std::string(252, 'n') + ".ppm"), 0);  // 256 bytes: too long
  EXPECT_NE(stderr_.find("too long"), std::string::npos) << stderr_;
  EXPECT_FALSE(leftovers());
}

TEST_F(Outputs, WriteFailuresNameTheirReason) {
  // (A folder that does not exist: FailuresSayWhatIsWrongAndLeaveNoOutput.)
  write_file(path("in.png"), png_file_bytes(test_picture(64, 64, 3)));
  const std::string kConfig = "$Z --config 'Config(4112, 4112, 0, 4112, 0, 0, 4112, 0, 0)' ";
  const struct {
    std::string command, message;
  } cases[] = {
      {kConfig + "in.ppm /dev/full", "cannot write /dev/full: No space left on device"},
      {kConfig + "in.ppm - > /dev/full", "cannot write standard output: No space left on device"},
      {"$Z in.png - > /dev/full", "No space left on device"},
      {"$Z --help > /dev/full", "No space left on device"},
      {"$Z --demo --out-dir pictures > /dev/full", "No space left on device"},
      {kConfig + "in.ppm .", "directory"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.command), 1) << c.command;
    EXPECT_NE(stderr_.find(c.message), std::string::npos) << c.command << ": " << stderr_;
  }
}

// A hard-linked output on a disk with room for the result only once (the
// temporary): the copy into the linked file cannot fit, and the file keeps
// its old bytes instead of a valid header and half of the frames. Needs a
// small tmpfs of its own, which only root may mount.
TEST_F(Outputs, AFullDiskLeavesAHardLinkedOutputAsItWas) {
  // 256 x 256 RGB: 197 kB a picture, two pictures.
  write_file(path("big.ppm"), ppm_file_bytes({test_picture(256, 256, 4), test_picture(256, 256, 5)}));
  ASSERT_EQ(run("$Z --sigma 5 big.ppm whole.ppm"), 0) << stderr_;
  const std::string whole = read_file(path("whole.ppm"));
  ASSERT_EQ(mkdir(path("disk").c_str(), 0755), 0);
  if (run("mount -t tmpfs -o size=700k tmpfs disk") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights): " << stderr_;
  struct Unmount {
    std::string at;
    ~Unmount() { std::system(("umount " + at).c_str()); }
  } unmount{path("disk")};
  // Old content of 200 kB in two names: the result (394 kB) fits beside it
  // once, as the temporary, but not twice (700 kB).
  write_file(path("disk/a.ppm"), std::string(200 * 1024, 'o'));
  ASSERT_EQ(link(path("disk/a.ppm").c_str(), path("disk/b.ppm").c_str()), 0);
  EXPECT_EQ(run("$Z --sigma 5 big.ppm disk/a.ppm"), 1);
  EXPECT_NE(stderr_.find("cannot write disk/a.ppm: No space left on device; the complete output "
                         "is kept in disk/.zolta-"),
            std::string::npos)
      << stderr_;
  EXPECT_TRUE(read_file(path("disk/b.ppm")) == std::string(200 * 1024, 'o'));
  EXPECT_EQ(info("disk/a.ppm").st_ino, info("disk/b.ppm").st_ino);
  // The complete output is the one the message names.
  const size_t kept = stderr_.find("disk/.zolta-");
  ASSERT_NE(kept, std::string::npos);
  const std::string kept_name = stderr_.substr(kept, stderr_.find_first_of("\n", kept) - kept);
  EXPECT_TRUE(read_file(path(kept_name)) == whole) << kept_name;
}

// Each of the four signals, sent while a YUV4MPEG2 stream is half through:
// the partial output is removed, nothing is left in the temporary folder, and
// the process ends as killed by the signal.
TEST_F(Outputs, SignalsMidStreamLeaveNothingBehind) {
  const int width = 256, height = 256;
  const std::string header = "YUV4MPEG2 W256 H256 F25:1 C422\n";
  const std::string frame = "FRAME\n" + std::string(width * height * 2, '\x80');
  ASSERT_EQ(mkdir(path("tmp").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(path("run").c_str(), 0700), 0);
  signal(SIGPIPE, SIG_IGN);  // the test's own writes to a dead child must not end it
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    RunChild child = start_zolta_run(
        {"--config", "Config(4112, 4112, 0, 4112, 0, 0, 4112, 0, 0)", "-", "out.y4m"}, path("run"),
        path("tmp"));
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(write(child.input, header.data(), header.size()),
              static_cast<ssize_t>(header.size()));
    // Frames until the partial output has data in it: then the run is
    // mid-stream.
    bool mid_stream = false;
    for (int i = 0; i < 200 && !mid_stream; ++i) {
      if (write(child.input, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (const std::string& name : folder_names(path("run"))) {
        struct stat st;
        if (stat(path("run/" + name).c_str(), &st) == 0 && st.st_size > 0) mid_stream = true;
      }
    }
    EXPECT_TRUE(mid_stream) << "signal " << sig;
    kill(child.pid, sig);
    const int status = wait_child(child.pid);
    close(child.input);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig)
        << "signal " << sig << ": wait status " << status;
    EXPECT_TRUE(folder_names(path("run")).empty()) << "signal " << sig;
    EXPECT_TRUE(folder_names(path("tmp")).empty()) << "signal " << sig;
  }
  signal(SIGPIPE, SIG_DFL);
}
