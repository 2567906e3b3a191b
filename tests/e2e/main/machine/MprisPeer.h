#pragma once

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

// A small media player for tests: owns a bus name on the session bus and answers the MPRIS
// player interface (PlaybackStatus, Play, Pause) from a main loop on its own thread. It can also
// stand in front of a real player, passing every call on to it.
class MprisPeer {
 public:
  // status: the PlaybackStatus it starts with; slowness: how long it takes to answer anything;
  // realPlayer: the bus name of a player to pass every call on to, instead of answering itself.
  MprisPeer(std::string busName, std::string status,
            std::chrono::milliseconds slowness = std::chrono::milliseconds(0),
            std::string realPlayer = "");
  ~MprisPeer();
  MprisPeer(const MprisPeer&) = delete;
  MprisPeer& operator=(const MprisPeer&) = delete;

  std::string status() const;
  int pauses() const { return pauses_; }
  int plays() const { return plays_; }

  // Called on the peer's thread by GDBus.
  void onCall(const std::string& method);
  std::string onStatusRead();

 private:
  std::string busName_;
  const std::string realPlayer_;
  std::chrono::milliseconds slowness_;
  mutable std::mutex mutex_;  // guards status_
  std::string status_;
  std::atomic<int> pauses_{0};
  std::atomic<int> plays_{0};

  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* bus_ = nullptr;
  unsigned registration_ = 0;
  std::thread thread_;

  void serve(std::promise<std::string>& started);
  // The call passed on to the real player: its reply, or "" when it failed.
  std::string passOn(const std::string& method);
};
