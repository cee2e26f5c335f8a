// The one way files are replaced: permissions and links kept, a failed or
// abandoned write leaves the old file byte for byte and nothing beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/file_kit.h"
#include "platform/atomicfile.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const std::string& Name) {
  const filekit::Bytes b = filekit::LoadFile(Name);
  return std::string(b.begin(), b.end());
}

void Put(const std::string& Name, const std::string& S) { filekit::SaveFile(Name, filekit::Bytes(S.begin(), S.end())); }

void WriteText(TStream* S, const std::string& Text) { S->WriteBuffer(Text.data(), Int64(Text.size())); }

mode_t ModeOf(const std::string& Name) {
  struct stat st {};
  ::stat(Name.c_str(), &st);
  return st.st_mode & 07777;
}

using filekit::FileSizeLimit;

TEST(AtomicFile, ReplacesKeepingPermissionsAndFollowingLinks) {
  filekit::TempDir dir("lkatomic_");
  const std::string file = dir / "a.txt";
  Put(file, "old");
  ::chmod(file.c_str(), 0640);
  WriteFileAtomically(file, [](TStream* S) { WriteText(S, "new"); });
  EXPECT_EQ(Text(file), "new");
  EXPECT_EQ(ModeOf(file), 0640u);

  // A link stays a link; the file it points to gets the content.
  const std::string link = dir / "link.txt";
  ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  WriteFileAtomically(link, [](TStream* S) { WriteText(S, "through the link"); });
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Text(file), "through the link");
  EXPECT_EQ(ModeOf(file), 0640u);

  // A new file gets the usual permissions of new files, not the new file's 0600.
  const mode_t mask = ::umask(022);
  WriteFileAtomically(dir / "fresh.txt", [](TStream* S) { WriteText(S, "x"); });
  ::umask(mask);
  EXPECT_EQ(ModeOf(dir / "fresh.txt"), 0644u);
  EXPECT_EQ(dir.Files(), 3u);
}

// Every way a write can fail leaves the old file as it was and no new file
// beside it: a write past the file-size limit (as on a full disk), a writer
// that raises, an object dropped without Commit.
TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNothingBeside) {
  filekit::TempDir dir("lkatomic_");
  const std::string file = dir / "a.bin";
  const std::string old(300, 'o');
  const std::string big(64 * 1024, 'n');
  struct Case {
    const char* Name;
    std::function<void()> Run;
    bool Raises;
  };
  const Case cases[] = {
      {"file-size limit, WriteBuffer",
       [&] {
         FileSizeLimit limit(4096);
         WriteFileAtomically(file, [&](TStream* S) { WriteText(S, big); });
       },
       true},
      {"file-size limit, unchecked Write",
       [&] {
         FileSizeLimit limit(4096);
         TAtomicFile f(file);
         f.Stream()->Write(big.data(), Integer(big.size()));  // the short count is not looked at
         EXPECT_TRUE(f.WriteFailed());
         f.Commit();
       },
       true},
      {"writer raises",
       [&] {
         WriteFileAtomically(file, [&](TStream* S) {
           WriteText(S, big);
           throw EWriteError("stop");
         });
       },
       true},
      {"no commit",
       [&] {
         TAtomicFile f(file);
         WriteText(f.Stream(), big);
       },
       false},
  };
  for (const Case& c : cases) {
    Put(file, old);
    bool raised = false;
    try {
      c.Run();
    } catch (const EStreamError&) {
      raised = true;
    }
    EXPECT_EQ(raised, c.Raises) << c.Name;
    EXPECT_EQ(Text(file), old) << c.Name;
    EXPECT_EQ(dir.Files(), 1u) << c.Name;
  }
}

TEST(AtomicFile, RefusesWhatItMustNotReplace) {
  filekit::TempDir dir("lkatomic_");
  const std::string locked = dir / "locked.txt", pipe = dir / "pipe";
  Put(locked, "old");
  ::chmod(locked.c_str(), 0444);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& name : {locked, pipe, dir / "", std::string()})
    EXPECT_THROW(TAtomicFile f(name), EFCreateError) << name;
  EXPECT_EQ(Text(locked), "old");
  EXPECT_EQ(dir.Files(), 2u);
  // A new file left by a killed writer (nobody holds its lock) is cleared away.
  const std::string fresh = dir / "fresh.txt";
  Put(fresh + ".~999999-0", "left over");
  WriteFileAtomically(fresh, [](TStream* S) { WriteText(S, "new"); });
  EXPECT_EQ(dir.Files(), 3u);
}

}  // namespace
