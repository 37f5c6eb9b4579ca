// A sync manager stopped, files changed on both sides meanwhile, a new
// manager started: what was removed on one side goes on the other, as the
// rule allows, while a file changed on the side that kept it survives.
#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::scripted_ui;
using syncer::scan_testing::yes;
namespace kind = syncer::message_kind;

constexpr std::int64_t t0 = 1650000000;

class SyncRestart : public testing::Test {
protected:
    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    // Five files known on both sides, then changed while no manager runs.
    syncer::binding synced_then_changed_while_stopped(const syncer::sync_rule& rule) {
        for (const wchar_t* name : {L"gone-here.txt", L"gone-there.txt", L"edited-there.txt",
                                    L"edited-here.txt", L"same.txt"}) {
            world.put_local(name, "first", t0);
            world.put_remote(std::wstring(L"sync/") + name, "first", t0);
        }
        const syncer::binding pair = world.bind(L"sync", L"", rule);
        start();
        EXPECT_TRUE(converged(world, *engine, pair, L"sync"));
        engine.reset();

        world.remove_local(L"gone-here.txt");
        world.remove_remote(L"sync/gone-there.txt");
        world.remove_local(L"edited-there.txt");
        world.put_remote(L"sync/edited-there.txt", "edited there", t0 + 100);
        world.remove_remote(L"sync/edited-here.txt");
        world.put_local(L"edited-here.txt", "edited here", t0 + 100);
        return pair;
    }

    void expect_removals_across_and_edits_kept() {
        const side_files result = world.local_files();
        EXPECT_EQ(result.size(), 3u) << text_of(result);
        EXPECT_EQ(result.count(L"gone-here.txt") + result.count(L"gone-there.txt"), 0u);
        EXPECT_EQ(result.at(L"edited-there.txt").content, "edited there");
        EXPECT_EQ(result.at(L"edited-here.txt").content, "edited here");
        EXPECT_EQ(result.at(L"same.txt").content, "first");
    }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

TEST_F(SyncRestart, RemovalsMadeMeanwhileGoAcrossOnTheirOwnWhereTheRuleAllows) {
    const syncer::binding pair = synced_then_changed_while_stopped(allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    expect_removals_across_and_edits_kept();
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(SyncRestart, RemovalsMadeMeanwhileAreAskedAboutAndEditsAreOffered) {
    const syncer::binding pair = synced_then_changed_while_stopped(syncer::sync_rule());
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, yes);
    ui.forget_questions();
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    expect_removals_across_and_edits_kept();
    std::map<std::wstring, int> asked;
    for (const auto& question : ui.questions()) asked[question.filename] = question.kind;
    EXPECT_EQ(asked[L"gone-here.txt"], kind::remove_remote_file);
    EXPECT_EQ(asked[L"gone-there.txt"], kind::remove_local_file);
    EXPECT_EQ(asked[L"edited-there.txt"], kind::download_new);
    EXPECT_EQ(asked[L"edited-here.txt"], kind::upload_new);
    EXPECT_EQ(asked.count(L"same.txt"), 0u);
}

}  // namespace
}  // namespace sync_testing
