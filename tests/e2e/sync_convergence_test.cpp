// Changes on both sides of a folder pair, with each kind of answer, end with
// both sides and the item table in agreement, and nothing gone that the
// answers did not allow to go.
#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::asked_question;
using syncer::scan_testing::no;
using syncer::scan_testing::scripted_ui;
using syncer::scan_testing::yes;
namespace kind = syncer::message_kind;

constexpr std::int64_t t0 = 1650000000;

class SyncConvergence : public testing::Test {
protected:
    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    // Until the scan has asked this many questions and a later pass asked
    // nothing more.
    void settle_questions(std::size_t count, const syncer::binding& target) {
        ASSERT_TRUE(eventually([&] { return ui.questions().size() >= count; }));
        for (int pass = 0; pass < 2; ++pass) {
            world.force(target);
            ASSERT_TRUE(eventually([&] {
                return !syncer::locked_get_bindings(sync_world::user)
                            .find(target)
                            ->force_sync_once &&
                       tasks_of(*engine).empty();
            }));
        }
        EXPECT_EQ(ui.questions().size(), count);
    }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

TEST_F(SyncConvergence, EveryChangeOnEitherSideGoesAcrossWhenAllowed) {
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, yes);
    world.put_local(L"a.txt", "local a", t0);
    world.put_local(L"sub/b.txt", "local b", t0);
    world.put_remote(L"sync/c.txt", "remote c", t0 + 1);
    world.put_remote(L"sync/sub/d.txt", "remote d", t0 + 2);
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(world.local_files().size(), 4u);

    world.put_local(L"a.txt", "local a, edited", t0 + 100);
    world.put_remote(L"sync/c.txt", "remote c, edited", t0 + 100);
    world.remove_local(L"sub/b.txt");
    world.remove_remote(L"sync/sub/d.txt");
    world.put_local(L"e.txt", "new e", t0 + 100);
    world.put_remote(L"sync/f/g.txt", "new g", t0 + 100);
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files result = world.local_files();
    EXPECT_EQ(result.size(), 4u) << text_of(result);
    EXPECT_EQ(result.at(L"a.txt").content, "local a, edited");
    EXPECT_EQ(result.at(L"c.txt").content, "remote c, edited");
    EXPECT_EQ(result.at(L"f/g.txt").content, "new g");
    EXPECT_EQ(result.count(L"sub/b.txt") + result.count(L"sub/d.txt"), 0u);
}

TEST_F(SyncConvergence, RefusalsMoveNothingAndLoseNothing) {
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, yes);
    world.put_local(L"kept.txt", "kept", t0);
    world.put_local(L"old.txt", "old", t0);
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, no);
    ui.forget_questions();

    world.remove_local(L"kept.txt");
    world.put_remote(L"sync/old.txt", "newer remotely", t0 + 100);
    world.put_local(L"local-only.txt", "mine", t0);
    world.force(pair);
    settle_questions(4, pair);
    // kept.txt: removing it remotely, then fetching it again, both refused.
    EXPECT_EQ(ui.kinds(), (std::vector<int>{kind::remove_remote_file, kind::download_new,
                                            kind::upload_new, kind::download_newer}));
    EXPECT_EQ(world.remote_files(L"sync").at(L"kept.txt").content, "kept");
    EXPECT_EQ(world.remote_files(L"sync").at(L"old.txt").content, "newer remotely");
    EXPECT_EQ(world.local_files().at(L"old.txt").content, "old");
    EXPECT_EQ(world.remote_files(L"sync").count(L"local-only.txt"), 0u);
}

TEST_F(SyncConvergence, ApplyToAllAndDontAskAgainSpareTheRepeatedQuestions) {
    for (const wchar_t* name : {L"1.txt", L"2.txt", L"3.txt"}) world.put_local(name, "up", t0);
    ui.answer_next(syncer::make_answer(true, false, true));
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_TRUE(ui.questions()[0].offer_apply_to_all);

    ui.forget_questions();
    for (const wchar_t* name : {L"sync/4.txt", L"sync/5.txt"}) world.put_remote(name, "down", t0);
    ui.answer_next(syncer::make_answer(true, true, false));
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(ui.kinds(), std::vector<int>{kind::download_new});

    // The whole binding now allows everything, without asking.
    ui.forget_questions();
    world.remove_remote(L"sync/1.txt");
    world.put_local(L"6.txt", "six", t0);
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(world.local_files().count(L"1.txt"), 0u);
}

TEST_F(SyncConvergence, DontAskAgainWithNoKeepsTheBindingStill) {
    world.put_local(L"one.txt", "1", t0);
    world.put_local(L"two.txt", "2", t0);
    world.put_remote(L"sync/three.txt", "3", t0);
    ui.answer_next(syncer::make_answer(false, true, false));
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    start();
    settle_questions(1, pair);
    EXPECT_EQ(syncer::locked_get_bindings(sync_world::user).find(pair)->can_recourse_subdirs,
              syncer::sync_permission::no);
    EXPECT_EQ(world.local_files().size(), 2u);
    EXPECT_EQ(world.remote_files(L"sync").size(), 1u);
}

TEST_F(SyncConvergence, WhenBothSidesChangedTheNewerWins) {
    world.put_local(L"shared.txt", "base", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    world.put_local(L"shared.txt", "local edit", t0 + 50);
    world.put_remote(L"sync/shared.txt", "remote edit", t0 + 100);
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(world.local_files().at(L"shared.txt").content, "remote edit");
}

}  // namespace
}  // namespace sync_testing
