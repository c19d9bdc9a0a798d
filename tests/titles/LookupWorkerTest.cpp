// The lookup worker against a stand-in web server on 127.0.0.1: what it asks,
// what it keeps, and how it fails.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/titles/CurlFetcher.h"
#include "platform/titles/LookupWorker.h"
#include "tests/support/WebStandIn.h"

namespace tavrelo::titles {
namespace {

using namespace std::chrono_literals;
using testing::eventually;

const DiscIdentity kDisc{"49HHV7Eb8UKF3aQiNmu1GR8vKTY-",
                         "1+6+95462+150+15363+32314+46592+63414+80489", 1, 6};
const DiscIdentity kOther{"8mWbUWBLIXDdMX3qG8YtkE9zd0Q-", "1+1+20000+150", 1, 1};
const std::string kRelease = "11111111-2222-3333-4444-555555555555";

class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(std::string(TAVRELO_REPLIES) + "/two-discs.json");
    const std::string reply(std::istreambuf_iterator<char>(in), {});
    web_.serve("ws/2/discid/" + kDisc.id, reply);
    web_.serve("ws/2/discid/" + kOther.id, reply);
    web_.serve("cover.jpg", "\xff\xd8\xff\xe0 a picture");
    web_.rules(R"([{"path": "/release/)" + kRelease + R"(/front-500", "redirect": "/cover.jpg"}])");
  }

  std::unique_ptr<LookupWorker> start() {
    LookupOptions options;
    options.musicBrainz = options.coverArt = web_.url();
    options.cacheFolder = cache_.path() / "tavrelo2";
    return std::make_unique<LookupWorker>(options,
                                          std::make_unique<CurlFetcher>(defaultUserAgent()));
  }
  // What the worker sends until `count` results came or 5 s passed.
  static std::vector<LookupResult> results(LookupWorker& worker, std::size_t count) {
    std::vector<LookupResult> got;
    eventually([&] {
      for (auto& r : worker.take()) got.push_back(std::move(r));
      return got.size() >= count;
    });
    return got;
  }
  // Once `count` requests reached the server, what the worker made of them.
  std::vector<LookupResult> afterRequests(LookupWorker& worker, std::size_t count) {
    EXPECT_TRUE(eventually([&] { return web_.requests().size() >= count; }, 10000));
    std::this_thread::sleep_for(300ms);
    return worker.take();
  }
  std::filesystem::path entry() const { return cache_.path() / "tavrelo2" / (kDisc.id + ".json"); }

  testing::WebStandIn web_;
  test::TempDir cache_;
};

TEST_F(Lookup, AsksOnceSaysWhoItIsAndKeepsTitlesAndCover) {
  {
    auto worker = start();
    const std::uint64_t ticket = worker->ask(1, kDisc);
    const auto got = results(*worker, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].ticket, ticket);
    EXPECT_EQ(got[0].titles->tracks.at(1).title, "Milord");
    EXPECT_TRUE(got[0].cover.empty());
    EXPECT_EQ(got[1].cover.filename(), kRelease + "-front.jpg");
    const auto requests = web_.requests();
    ASSERT_EQ(requests.size(), 3u);  // the disc, the cover and its redirect
    EXPECT_NE(requests[0].find("\"path\": \"/ws/2/discid/" + kDisc.id + "\", \"query\": \"toc=" +
                               kDisc.toc + "&inc=recordings+artist-credits&cdstubs=no&fmt=json\""),
              std::string::npos)
        << requests[0];
    EXPECT_NE(requests[0].find("\"agent\": \"Tavrelo2/1.1.0 ( http://tavrelo.example )\""),
              std::string::npos);
  }
  auto again = start();  // as a service started later
  again->ask(1, kDisc);
  EXPECT_EQ(results(*again, 2).size(), 2u);
  EXPECT_EQ(web_.requests().size(), 3u);
}

TEST_F(Lookup, KeepsNotFoundButNotFailuresAndWaitsWhileTheServerIsBusy) {
  web_.rules(R"([{"path": "/ws/2/discid/)" + kDisc.id + R"(", "status": 404, "times": 1},
                 {"path": "/ws/2/discid/*", "status": 503, "headers": {"Retry-After": "1"},
                  "times": 3}])");
  auto worker = start();
  worker->ask(1, kDisc);
  EXPECT_TRUE(afterRequests(*worker, 1).empty());  // 404: nothing to show
  worker->ask(1, kDisc);                           // kept: not asked again
  worker->ask(2, kOther);                          // busy three times: given up
  EXPECT_TRUE(afterRequests(*worker, 4).empty());
  worker->ask(2, kOther);  // not kept: asked again
  EXPECT_EQ(results(*worker, 1).size(), 1u);
  const auto requests = web_.requests();
  ASSERT_GE(requests.size(), 5u);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_NE(requests[i].find(kOther.id), std::string::npos);
  const auto time = [&](std::size_t i) {
    return std::stod(requests[i].substr(requests[i].find("\"time\": ") + 8));
  };
  EXPECT_GE(time(2) - time(1), 0.95);  // Retry-After: 1
  EXPECT_GE(time(3) - time(2), 0.95);
}

TEST_F(Lookup, TooManyRequestsIsWaitedOutToo) {
  web_.rules(R"([{"path": "/ws/2/discid/*", "status": 429, "headers": {"Retry-After": "1"},
                  "times": 1}])");
  auto worker = start();
  worker->ask(1, kDisc);
  const auto got = results(*worker, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].titles->album, "Le Coffret – En public");
}

TEST_F(Lookup, UntrustworthyAnswersEndAsNoTitlesAndASpoiledEntryIsReplaced) {
  auto worker = start();
  for (const char* rule : {R"("bytes": 5000000)", R"("body": "<html>", "type": "text/html")",
                           R"("body": "{\"releases\": [{")", R"("redirect": "/ws/2/discid/x")"}) {
    web_.rules(R"([{"path": "/ws/2/discid/*", )" + std::string(rule) + "}]");
    worker->ask(1, kDisc);
    EXPECT_TRUE(afterRequests(*worker, web_.requests().size() + 1).empty()) << rule;
    EXPECT_FALSE(std::filesystem::exists(entry())) << rule;
  }
  std::ofstream(entry()) << "{\"toc\": ";  // spoiled: asked again, and replaced
  SetUp();
  worker->ask(1, kDisc);
  EXPECT_EQ(results(*worker, 2).size(), 2u);
  std::ifstream in(entry());
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("Milord"), std::string::npos);
  // A cover that is no image, and a redirect loop: titles without a cover.
  std::filesystem::remove(cache_.path() / "tavrelo2" / (kRelease + "-front.jpg"));
  for (const char* rule : {R"("body": "GIF89a")", R"("redirect": "/loop")"}) {
    web_.rules(R"([{"path": "/release/*", )" + std::string(rule) +
               R"(}, {"path": "/loop", "redirect": "/release/x"}])");
    worker->ask(1, kDisc);
    const auto got = afterRequests(*worker, web_.requests().size() + 1);
    ASSERT_EQ(got.size(), 1u) << rule;
    EXPECT_TRUE(got[0].cover.empty());
  }
}

TEST_F(Lookup, AHangingServerHoldsUpNeitherTheNextDiscNorTheEnd) {
  web_.rules(R"([{"path": "/ws/2/discid/)" + kDisc.id + R"(", "hang": true}])");
  auto worker = start();
  worker->ask(1, kDisc);
  ASSERT_TRUE(eventually([&] { return web_.requests().size() == 1; }));
  const std::uint64_t next = worker->ask(1, kOther);  // the disc was changed
  const auto got = results(*worker, 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].ticket, next);
  worker->ask(1, kDisc);  // hangs again
  ASSERT_TRUE(eventually([&] {
    const auto requests = web_.requests();
    return requests.size() > 2 && requests.back().find(kDisc.id) != std::string::npos;
  }));
  const auto before = std::chrono::steady_clock::now();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);  // not the 15 s timeout
}

}  // namespace
}  // namespace tavrelo::titles
