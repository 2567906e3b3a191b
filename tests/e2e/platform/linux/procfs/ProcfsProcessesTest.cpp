// The process table backend against fixture process folders and against this very process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/linux/procfs/ProcfsProcesses.h"
#include "support/Files.h"
#include "support/Scratch.h"

using namespace std::string_literals;

namespace {

TEST(ProcfsProcesses, StatLinesKeepNamesWithSpacesAndParentheses) {
  auto entry = ProcfsProcesses::parseStat("4242 (Web Content (x)) S 17 4242 4242 0 -1 4194560");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->pid, 4242);
  EXPECT_EQ(entry->parentPid, 17);
  EXPECT_EQ(entry->name, "Web Content (x)");
  EXPECT_FALSE(ProcfsProcesses::parseStat("garbage"));
  EXPECT_FALSE(ProcfsProcesses::parseStat("12 (x) S"));
}

TEST(ProcfsProcesses, ProportionalSetSizeIsThePssLineInBytes) {
  EXPECT_EQ(ProcfsProcesses::parsePss("Rss:  1780 kB\nPss:   288 kB\nPss_Dirty: 112 kB\n"),
            288u * 1024u);
  EXPECT_FALSE(ProcfsProcesses::parsePss("Rss:  1780 kB\n"));
}

TEST(ProcfsProcesses, DesktopUnitsNameTheirApplication) {
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-gnome-org.gnome.Terminal-4242.scope"),
            "org.gnome.Terminal");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-org.example.Recorder-17.scope"),
            "org.example.Recorder");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-flatpak-com.example.Call\\x2dApp-99.scope"),
            "com.example.Call-App");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-gnome-org.gnome.Music@autostart.service"),
            "org.gnome.Music");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-org.gnome.Music.service"), "org.gnome.Music");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("session-2.scope"), "");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app.slice"), "");
  EXPECT_EQ(ProcfsProcesses::appIdOfUnit("app-gnome-nodots-12.scope"), "");
}

TEST(ProcfsProcesses, DesktopEntryOfAProcessFromItsSandboxUnitOrLauncher) {
  Scratch scratch;
  auto proc = scratch.root() / "proc";
  writeFile(proc / "10/root/.flatpak-info", "[Application]\nname=com.example.Sandboxed\nruntime=x\n");
  writeFile(proc / "10/cgroup", "0::/user.slice/app-gnome-org.example.Other-1.scope\n");
  writeFile(proc / "11/cgroup",
        "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
        "app-gnome-org.example.Recorder-311.scope\n");
  std::string launched =
      "A=1\0GIO_LAUNCHED_DESKTOP_FILE=/usr/share/applications/org.example.Launched.desktop\0"s;
  writeFile(proc / "12/cgroup", "0::/user.slice/session-2.scope\n");
  writeFile(proc / "12/environ", launched);
  // Launched for another process (its parent): inherited, so it says nothing of this one.
  writeFile(proc / "13/environ", launched + "GIO_LAUNCHED_DESKTOP_FILE_PID=12\0"s);
  writeFile(proc / "14/environ", launched + "GIO_LAUNCHED_DESKTOP_FILE_PID=14\0"s);

  ProcfsProcesses processes(proc.string());
  EXPECT_EQ(processes.desktopEntryOf(10), "com.example.Sandboxed");
  EXPECT_EQ(processes.desktopEntryOf(11), "org.example.Recorder");
  EXPECT_EQ(processes.desktopEntryOf(12), "org.example.Launched");
  EXPECT_EQ(processes.desktopEntryOf(13), "");
  EXPECT_EQ(processes.desktopEntryOf(14), "org.example.Launched");
  EXPECT_EQ(processes.desktopEntryOf(15), "");  // gone
  EXPECT_EQ(processes.desktopEntryOf(0), "");
}

TEST(ProcfsProcesses, TheTableOfAFixtureIsSortedAndSkipsWhatIsNotAProcess) {
  Scratch scratch;
  auto proc = scratch.root() / "proc";
  writeFile(proc / "30/stat", "30 (b) S 20 0 0");
  writeFile(proc / "20/stat", "20 (a) S 1 0 0");
  writeFile(proc / "self/stat", "20 (a) S 1 0 0");
  writeFile(proc / "40/stat", "not a stat line");
  writeFile(proc / "30/smaps_rollup", "Rss: 8 kB\nPss: 4 kB\n");
  ProcfsProcesses processes(proc.string());
  auto table = processes.all();
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 2u);
  EXPECT_EQ((*table)[0].pid, 20);
  EXPECT_EQ((*table)[1].name, "b");
  EXPECT_EQ(processes.proportionalSetSize(30), 4096u);
  EXPECT_FALSE(processes.proportionalSetSize(20));

  EXPECT_FALSE(ProcfsProcesses((scratch.root() / "none").string()).all());
  EXPECT_FALSE(ProcfsProcesses(scratch.home().string()).all());  // a folder without processes
}

TEST(ProcfsProcesses, TheRealTableHoldsThisProcessAndItsParent) {
  ProcfsProcesses processes;
  auto table = processes.all();
  ASSERT_TRUE(table);
  bool foundSelf = false;
  for (const auto& entry : *table) {
    if (entry.pid != getpid()) continue;
    foundSelf = true;
    EXPECT_EQ(entry.parentPid, getppid());
  }
  EXPECT_TRUE(foundSelf);
  auto size = processes.proportionalSetSize(getpid());
  ASSERT_TRUE(size);
  EXPECT_GT(*size, 0u);
}

}  // namespace
