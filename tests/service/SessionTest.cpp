#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/service/Session.h"
#include "tests/support/FakeCdDrive.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TempDir.h"

namespace tavrelo::service {
namespace {

using drive::DriveError;

disc::Toc threeTracks() {
  disc::Toc toc;
  toc.tracks = {{1, 150, true}, {2, 450, true}, {3, 750, true}};
  toc.leadOut = 1050;
  return toc;
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest()
      : table_([this](const DriveSource& source) -> std::shared_ptr<drive::CdDrive> {
          opened_.push_back(source);
          if (source.path.ends_with("broken.cue")) throw std::runtime_error("line 3: no TRACK");
          return std::make_shared<testing::FakeCdDrive>(clock_, threeTracks());
        }) {
    std::ofstream(dir_.path() / "a.cue") << "FILE a.bin BINARY\n";
    std::filesystem::create_symlink(dir_.path() / "a.cue", dir_.path() / "link.cue");
  }

  Reply send(Session& session, Request request) {
    request.version = kProtocolVersion;
    bool hangUp = false;
    Reply reply = session.handle(encode(request), hangUp);
    EXPECT_FALSE(hangUp);
    return reply;
  }
  Reply send(Session& session, Op op, drive::Lba from = 0, drive::Lba to = 0) {
    Request r;
    r.op = op;
    r.from = from;
    r.to = to;
    return send(session, r);
  }
  Reply open(Session& session, const std::string& path) {
    Request r;
    r.op = Op::Open;
    r.source = {DriveSource::Kind::CueImage, path};
    return send(session, r);
  }
  void greetAndOpen(Session& session, const std::string& path) {
    ASSERT_EQ(send(session, Op::Hello).kind, ReplyKind::Hello);
    ASSERT_EQ(open(session, path).kind, ReplyKind::Done);
  }
  std::string cue(const char* name) const { return (dir_.path() / name).string(); }

  test::TempDir dir_;
  testing::ManualClock clock_;
  std::vector<DriveSource> opened_;
  DriveTable table_;
};

TEST_F(SessionTest, AConnectionGreetsWithItsVersionThenOpensOnePlayableSource) {
  Session session(table_);
  EXPECT_EQ(send(session, Op::Status).failure.failure, Failure::HelloFirst);
  EXPECT_EQ(open(session, cue("a.cue")).failure.failure, Failure::HelloFirst);
  const Reply hello = send(session, Op::Hello);
  EXPECT_EQ(hello.kind, ReplyKind::Hello);
  EXPECT_EQ(hello.version, kProtocolVersion);
  EXPECT_EQ(send(session, Op::Play, 150, 1050).failure.failure, Failure::NotOpen);

  // A source that cannot be played is refused with its reason; the
  // connection may still open a good one, and only one.
  for (const auto& [path, reason] :
       {std::pair<std::string, std::string>{cue("broken.cue"), "line 3: no TRACK"},
        {"a.cue", "not an absolute path"}}) {
    const Reply refused = open(session, path);
    EXPECT_EQ(refused.failure.failure, Failure::OpenFailed);
    EXPECT_NE(refused.failure.message.find(reason), std::string::npos) << refused.failure.message;
  }
  EXPECT_FALSE(session.hasDrive());
  EXPECT_EQ(open(session, cue("a.cue")).kind, ReplyKind::Done);
  EXPECT_TRUE(session.hasDrive());
  EXPECT_EQ(open(session, cue("a.cue")).failure.failure, Failure::AlreadyOpen);

  // A client of another version is told why and hung up.
  Request old;
  old.op = Op::Hello;
  old.version = 7;
  bool hangUp = false;
  const Reply refused = Session(table_).handle(encode(old), hangUp);
  EXPECT_TRUE(hangUp);
  EXPECT_EQ(refused.failure.failure, Failure::WrongVersion);
  EXPECT_NE(refused.failure.message.find("version 7"), std::string::npos);
}

TEST_F(SessionTest, OneSourceIsOneDriveForEveryConnection) {
  Session first(table_), second(table_), third(table_);
  greetAndOpen(first, cue("a.cue"));
  greetAndOpen(second, dir_.path().string() + "/./sub/../a.cue");
  greetAndOpen(third, cue("link.cue"));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].path, std::filesystem::canonical(cue("a.cue")).string());

  EXPECT_EQ(send(first, Op::Play, 150, 1050).error, DriveError::None);
  clock_.advance(1000);
  EXPECT_TRUE(table_.anyInUse());
  EXPECT_EQ(send(second, Op::Pause).error, DriveError::None);
  const Reply seen = send(third, Op::Status);
  EXPECT_EQ(seen.status.audio, drive::AudioStatus::Paused);
  EXPECT_EQ(seen.status.position, 225);
  EXPECT_TRUE(table_.anyInUse()) << "a paused disc is still in use";
  EXPECT_EQ(send(first, Op::Stop).error, DriveError::None);
  EXPECT_FALSE(table_.anyInUse());
}

TEST_F(SessionTest, DriveOperationsAndTheirErrorsPassThrough) {
  Session session(table_);
  greetAndOpen(session, cue("a.cue"));
  const Reply toc = send(session, Op::ReadToc);
  EXPECT_EQ(toc.error, DriveError::None);
  EXPECT_EQ(toc.toc, threeTracks());
  EXPECT_EQ(send(session, Op::Resume).error, DriveError::NotPaused);
  EXPECT_EQ(send(session, Op::Seek, 0, 450).error, DriveError::None);
  EXPECT_EQ(send(session, Op::Status).status.track, 2);
  EXPECT_EQ(send(session, Op::OpenTray).error, DriveError::None);
  EXPECT_EQ(send(session, Op::Play, 150, 450).error, DriveError::NoMedia);
  EXPECT_EQ(send(session, Op::ReadToc).error, DriveError::NoMedia);
  EXPECT_EQ(send(session, Op::CloseTray).error, DriveError::None);
  EXPECT_FALSE(send(session, Op::Status).status.trayOpen);
}

TEST(DriveSourceTest, ImagesAreTellingTheirKindByExtension) {
  EXPECT_EQ(DriveSource::fromPath("/x/Album.CUE").kind, DriveSource::Kind::CueImage);
  EXPECT_EQ(DriveSource::fromPath("/dev/sr0").kind, DriveSource::Kind::Device);
  EXPECT_EQ(DriveSource::fromPath("cue").kind, DriveSource::Kind::Device);
  EXPECT_EQ(DriveSource::fromPath("d/../a.cue").path,
            (std::filesystem::current_path() / "a.cue").lexically_normal().string());
}

}  // namespace
}  // namespace tavrelo::service
