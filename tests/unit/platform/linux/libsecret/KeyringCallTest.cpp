#include <gtest/gtest.h>

#include <chrono>

#include "platform/linux/libsecret/KeyringCall.h"

using namespace std::chrono_literals;

namespace {

// A call that answers, from the calling thread's context, once it is run; with `onCancel`, one
// that answers only when cancelled.
KeyringCall::Start answering(KeyringCall& call, bool onCancel) {
  return [&call, onCancel](GAsyncReadyCallback done, gpointer data) {
    GTask* task = g_task_new(nullptr, call.cancellable(), done, data);
    if (!onCancel) {
      g_task_return_boolean(task, TRUE);
      g_object_unref(task);
      return;
    }
    g_cancellable_connect(
        call.cancellable(),
        G_CALLBACK(+[](GCancellable*, gpointer cancelled) {
          GTask* waiting = G_TASK(cancelled);
          g_task_return_new_error(waiting, G_IO_ERROR, G_IO_ERROR_CANCELLED, "cancelled");
          g_object_unref(waiting);
        }),
        task, nullptr);
  };
}

int codeOf(const std::function<void()>& failing) {
  try {
    failing();
  } catch (const SecretStoreError& error) {
    return error.code;
  }
  return 0;
}

}  // namespace

// Calls that answer in time give their results; a failure keeps the keyring's own code. A call
// past the limit is cancelled and reports a time-out; one that never comes back from its
// cancellation is given up `late` after the limit.
TEST(KeyringCall, AnswersInTimeThenCancelsAtTheLimitThenGivesUp) {
  KeyringCall quick(5s, 5s);
  auto results = quick.awaitAll({answering(quick, false), answering(quick, false)});
  ASSERT_EQ(results.size(), 2u);
  for (auto& result : results) {
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(g_task_propagate_boolean(G_TASK(result.get()), nullptr));
  }
  EXPECT_EQ(codeOf([&] {
              quick.raise(g_error_new_literal(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, "no"));
            }),
            G_IO_ERROR_PERMISSION_DENIED);

  KeyringCall slow(20ms, 5s);
  auto cancelled = slow.await(answering(slow, true));
  ASSERT_NE(cancelled, nullptr);
  GError* error = nullptr;
  EXPECT_FALSE(g_task_propagate_boolean(G_TASK(cancelled.get()), &error));
  EXPECT_EQ(codeOf([&] { slow.raise(error); }), G_IO_ERROR_TIMED_OUT);
  // Every later call of the operation is cancelled at once.
  EXPECT_TRUE(g_cancellable_is_cancelled(slow.cancellable()));

  KeyringCall hung(20ms, 30ms);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(codeOf([&] { hung.await([](GAsyncReadyCallback, gpointer) {}); }),
            G_IO_ERROR_TIMED_OUT);
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_GE(took, 50ms);
  EXPECT_LT(took, 2s);
}
