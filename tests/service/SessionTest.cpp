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
          ++made_;
          opened_.push_back(source);
          if (source.path.ends_with("broken.cue")) throw std::runtime_error("line 3: no TRACK");
          return std::make_shared<testing::FakeCdDrive>(clock_, threeTracks());
        }) {
    std::ofstream(dir_.path() / "a.cue") << "FILE a.bin BINARY\n";
    std::ofstream(dir_.path() / "broken.cue") << "nonsense\n";
    std::filesystem::create_symlink(dir_.path() / "a.cue", dir_.path() / "link.cue");
  }

  Reply send(Session& session, const Request& request) {
    bool hangUp = false;
    Reply reply = session.handle(encode(request), hangUp);
    EXPECT_FALSE(hangUp);
    return reply;
  }
  Reply send(Session& session, Op op, drive::Lba from = 0, drive::Lba to = 0) {
    Request r;
    r.op = op;
    r.version = kProtocolVersion;
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
    const Reply opened = open(session, path);
    ASSERT_EQ(opened.kind, ReplyKind::Done) << opened.failure.message;
  }
  std::string cue(const char* name) const { return (dir_.path() / name).string(); }

  test::TempDir dir_;
  testing::ManualClock clock_;
  int made_ = 0;
  std::vector<DriveSource> opened_;
  DriveTable table_;
};

TEST_F(SessionTest, AConnectionStartsWithHelloOfItsVersionThenOneOpen) {
  Session session(table_);
  EXPECT_EQ(send(session, Op::Status).failure.failure, Failure::HelloFirst);
  EXPECT_EQ(open(session, cue("a.cue")).failure.failure, Failure::HelloFirst);

  const Reply hello = send(session, Op::Hello);
  EXPECT_EQ(hello.kind, ReplyKind::Hello);
  EXPECT_EQ(hello.version, kProtocolVersion);
  EXPECT_EQ(send(session, Op::Play, 150, 1050).failure.failure, Failure::NotOpen);

  EXPECT_EQ(open(session, cue("a.cue")).kind, ReplyKind::Done);
  EXPECT_TRUE(session.hasDrive());
  EXPECT_EQ(open(session, cue("a.cue")).failure.failure, Failure::AlreadyOpen);

  // A client of another version is told why and hung up.
  Session other(table_);
  Request old;
  old.op = Op::Hello;
  old.version = 7;
  bool hangUp = false;
  const Reply refused = other.handle(encode(old), hangUp);
  EXPECT_TRUE(hangUp);
  EXPECT_EQ(refused.failure.failure, Failure::WrongVersion);
  EXPECT_NE(refused.failure.message.find("version 7"), std::string::npos);
}

TEST_F(SessionTest, OneSourceIsOneDriveForEveryConnection) {
  Session first(table_), second(table_), third(table_);
  greetAndOpen(first, cue("a.cue"));
  greetAndOpen(second, dir_.path().string() + "/./sub/../a.cue");
  greetAndOpen(third, cue("link.cue"));
  EXPECT_EQ(made_, 1);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].path, std::filesystem::canonical(cue("a.cue")).string());

  EXPECT_EQ(send(first, Op::Play, 150, 1050).error, drive::DriveError::None);
  clock_.advance(1000);
  EXPECT_TRUE(table_.anyInUse());
  EXPECT_EQ(send(second, Op::Pause).error, drive::DriveError::None);
  const Reply seen = send(third, Op::Status);
  EXPECT_EQ(seen.status.audio, drive::AudioStatus::Paused);
  EXPECT_EQ(seen.status.position, 225);
  EXPECT_TRUE(table_.anyInUse()) << "a paused disc is still in use";
  EXPECT_EQ(send(first, Op::Stop).error, drive::DriveError::None);
  EXPECT_FALSE(table_.anyInUse());
}

TEST_F(SessionTest, DriveOperationsAndTheirErrorsPassThrough) {
  Session session(table_);
  greetAndOpen(session, cue("a.cue"));
  const Reply toc = send(session, Op::ReadToc);
  EXPECT_EQ(toc.error, drive::DriveError::None);
  EXPECT_EQ(toc.toc, threeTracks());
  EXPECT_EQ(send(session, Op::Resume).error, drive::DriveError::NotPaused);
  EXPECT_EQ(send(session, Op::Play, 150, 99999).error, drive::DriveError::OutOfRange);
  EXPECT_EQ(send(session, Op::Seek, 0, 450).error, drive::DriveError::None);
  EXPECT_EQ(send(session, Op::Status).status.track, 2);
  EXPECT_EQ(send(session, Op::OpenTray).error, drive::DriveError::None);
  EXPECT_TRUE(send(session, Op::Status).status.trayOpen);
  EXPECT_EQ(send(session, Op::Play, 150, 450).error, drive::DriveError::NoMedia);
  EXPECT_EQ(send(session, Op::ReadToc).error, drive::DriveError::NoMedia);
  EXPECT_EQ(send(session, Op::CloseTray).error, drive::DriveError::None);
  EXPECT_EQ(send(session, Op::Stop).error, drive::DriveError::None);
}

TEST_F(SessionTest, ASourceThatCannotBePlayedIsRefusedWithItsReason) {
  Session session(table_);
  ASSERT_EQ(send(session, Op::Hello).kind, ReplyKind::Hello);
  const Reply broken = open(session, cue("broken.cue"));
  EXPECT_EQ(broken.failure.failure, Failure::OpenFailed);
  EXPECT_EQ(broken.failure.message, "line 3: no TRACK");
  EXPECT_FALSE(session.hasDrive());

  const Reply relative = open(session, "a.cue");
  EXPECT_EQ(relative.failure.failure, Failure::OpenFailed);
  EXPECT_NE(relative.failure.message.find("not an absolute path"), std::string::npos);

  Request device;
  device.op = Op::Open;
  device.source = {DriveSource::Kind::Device, cue("no-such-device")};
  EXPECT_EQ(send(session, device).failure.failure, Failure::OpenFailed);
  // The connection may still open a good source.
  EXPECT_EQ(open(session, cue("a.cue")).kind, ReplyKind::Done);
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
