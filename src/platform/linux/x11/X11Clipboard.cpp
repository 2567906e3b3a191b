#include "platform/linux/x11/X11Clipboard.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <future>
#include <memory>

namespace {

// One wait for another application's answer; a whole incremental transfer.
constexpr std::chrono::milliseconds ANSWER_LIMIT{500};
constexpr std::chrono::milliseconds TRANSFER_LIMIT{3000};
// The serving thread's handling of one change; a clipboard manager's taking of the contents.
constexpr std::chrono::milliseconds SERVER_LIMIT{1000};
constexpr std::chrono::milliseconds HAND_OVER_LIMIT{900};

// The selection protocol's own targets, which are no contents.
constexpr const char* PROTOCOL_TARGETS[] = {"TARGETS", "TIMESTAMP", "MULTIPLE", "SAVE_TARGETS"};

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

std::string nameOf(Display* d, Atom value) {
  std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(d, value));
  return name ? name.get() : "";
}

// Waits until the display's connection has input or the deadline has passed.
bool readable(Display* d, std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  pollfd fd{ConnectionNumber(d), POLLIN, 0};
  return poll(&fd, 1, static_cast<int>(left.count())) > 0;
}

}  // namespace

X11Clipboard::X11Clipboard() { XSetErrorHandler(ignoreXError); }

X11Clipboard::~X11Clipboard() {
  stopping_ = true;
  wake_.notify();
  if (thread_.joinable()) thread_.join();
}

// ---- Serving -------------------------------------------------------------------------------

bool X11Clipboard::startServing() {
  if (thread_.joinable()) return true;
  server_ = openDisplay();
  if (!server_) return false;
  Display* d = server_.get();
  serverWindow_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  int fixesError = 0;
  if (XFixesQueryExtension(d, &fixesEvent_, &fixesError)) {
    XFixesSelectSelectionInput(d, serverWindow_, atom(d, "CLIPBOARD"),
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
  }
  XSync(d, False);
  thread_ = std::thread([this] { serve(); });
  return true;
}

void X11Clipboard::serve() {
  pthread_setname_np(pthread_self(), "vesk.clipboard");
  Display* d = server_.get();
  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
  while (!stopping_) {
    std::deque<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex_);
      tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      handle(event);
    }
    poll(fds, 2, -1);
    if (fds[0].revents & (POLLHUP | POLLERR)) return;  // the display went away
    if (fds[1].revents & POLLIN) wake_.drain();
  }
}

bool X11Clipboard::onServer(std::function<void()> task) {
  if (!startServing()) return false;
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back([task = std::move(task), done] {
      task();
      done->set_value();
    });
  }
  wake_.notify();
  return finished.wait_for(SERVER_LIMIT) == std::future_status::ready;
}

void X11Clipboard::setOwner(Window owner) {
  Display* d = server_.get();
  XSetSelectionOwner(d, atom(d, "CLIPBOARD"), owner, CurrentTime);
  XSync(d, False);
}

void X11Clipboard::handle(XEvent& event) {
  if (event.type == SelectionRequest) {
    answer(event.xselectionrequest);
  } else if (event.type == SelectionClear) {
    served_.clear();  // another application owns the clipboard now
  } else if (fixesEvent_ != 0 && event.type == fixesEvent_ + XFixesSelectionNotify) {
    const auto& notice = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    if (notice.subtype == XFixesSetSelectionOwnerNotify) {
      if (notice.owner == serverWindow_) {
        ownedSince_ = notice.selection_timestamp;
        return;  // counted when written
      }
      if (notice.owner == None) {
        std::lock_guard lock(mutex_);
        if (ownClears_ > 0) {
          --ownClears_;
          return;  // counted when cleared
        }
      }
    }
    ++changes_;
  }
}

void X11Clipboard::answer(const XSelectionRequestEvent& request) {
  Display* d = server_.get();
  // Clients from before the property was required name none: the target stands in for it.
  const Atom property = request.property == None ? request.target : request.property;
  bool given = false;
  const Atom targets = atom(d, "TARGETS");
  if (!served_.empty() && request.selection == atom(d, "CLIPBOARD")) {
    if (request.target == targets) {
      std::vector<Atom> offered{targets, atom(d, "TIMESTAMP")};
      for (const auto& flavor : served_) offered.push_back(atom(d, flavor.type.c_str()));
      XChangeProperty(d, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered.data()),
                      static_cast<int>(offered.size()));
      given = true;
    } else if (request.target == atom(d, "TIMESTAMP")) {
      long stamp = static_cast<long>(ownedSince_);
      XChangeProperty(d, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&stamp), 1);
      given = true;
    } else {
      const std::string wanted = nameOf(d, request.target);
      auto flavor = std::find_if(served_.begin(), served_.end(),
                                 [&wanted](const ClipboardFlavor& f) { return f.type == wanted; });
      // Contents too large for one request would need the incremental protocol: refused.
      const auto largest = static_cast<std::size_t>(XExtendedMaxRequestSize(d) > 0
                                                        ? XExtendedMaxRequestSize(d)
                                                        : XMaxRequestSize(d)) * 4 - 1024;
      if (flavor != served_.end() && flavor->data.size() <= largest) {
        const Atom type = wanted == "TEXT" ? atom(d, "UTF8_STRING") : request.target;
        XChangeProperty(d, request.requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(flavor->data.data()),
                        static_cast<int>(flavor->data.size()));
        given = true;
      }
    }
  }
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = d;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.property = given ? property : None;
  reply.xselection.time = request.time;
  XSendEvent(d, request.requestor, False, NoEventMask, &reply);
  XFlush(d);
}

void X11Clipboard::clear() {
  {
    std::lock_guard lock(mutex_);
    ++ownClears_;
  }
  ++changes_;
  onServer([this] {
    served_.clear();
    setOwner(None);
  });
}

void X11Clipboard::write(const std::vector<ClipboardFlavor>& flavors) {
  ++changes_;
  onServer([this, flavors] {
    served_ = flavors;
    setOwner(serverWindow_);
  });
}

std::vector<ClipboardFlavor> X11Clipboard::textFlavors(const std::string& text) {
  return {{"UTF8_STRING", text},
          {"STRING", text},
          {"TEXT", text},
          {"text/plain;charset=utf-8", text}};
}

ClipboardFlavor X11Clipboard::transientMarker() { return {"x-kde-passwordManagerHint", "secret"}; }

void X11Clipboard::keepAfterExit() {
  if (!thread_.joinable()) return;  // the bridge never owned the clipboard
  onServer([this] { handOver(); });
}

// The clipboard manager convention: asked to convert CLIPBOARD_MANAGER to SAVE_TARGETS, the
// manager reads every target from the owner, then answers. The owner serves meanwhile.
void X11Clipboard::handOver() {
  Display* d = server_.get();
  const Atom manager = atom(d, "CLIPBOARD_MANAGER");
  const Atom save = atom(d, "SAVE_TARGETS");
  if (served_.empty() || XGetSelectionOwner(d, manager) == None) return;
  XConvertSelection(d, manager, save, atom(d, "VESK_SAVED"), serverWindow_, CurrentTime);
  XFlush(d);
  const auto deadline = std::chrono::steady_clock::now() + HAND_OVER_LIMIT;
  while (true) {
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      if (event.type == SelectionNotify && event.xselection.selection == manager) return;
      handle(event);
    }
    if (!readable(d, deadline)) return;
  }
}

// ---- Reading -------------------------------------------------------------------------------

bool X11Clipboard::openReader() {
  if (reader_) return true;
  reader_ = openDisplay();
  if (!reader_) return false;
  Display* d = reader_.get();
  readerWindow_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, readerWindow_, PropertyChangeMask);
  return true;
}

bool X11Clipboard::hasContents() {
  if (!openReader()) return false;
  Display* d = reader_.get();
  return XGetSelectionOwner(d, atom(d, "CLIPBOARD")) != None;
}

std::vector<std::string> X11Clipboard::types() {
  std::vector<std::string> names;
  if (!openReader()) return names;
  Display* d = reader_.get();
  auto offered =
      convert(atom(d, "TARGETS"), std::chrono::steady_clock::now() + ANSWER_LIMIT, true);
  if (!offered) return names;
  const auto* atoms = reinterpret_cast<const Atom*>(offered->data());
  for (std::size_t i = 0; i < offered->size() / sizeof(Atom); ++i) {
    std::string name = nameOf(d, atoms[i]);
    if (name.empty() || std::find(std::begin(PROTOCOL_TARGETS), std::end(PROTOCOL_TARGETS),
                                  name) != std::end(PROTOCOL_TARGETS)) {
      continue;
    }
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::optional<std::string> X11Clipboard::read(const std::string& type) {
  if (!openReader()) return std::nullopt;
  Display* d = reader_.get();
  return convert(atom(d, type.c_str()), std::chrono::steady_clock::now() + ANSWER_LIMIT, false);
}

bool X11Clipboard::waitFor(int type, Deadline deadline, XEvent& event,
                           const std::function<bool(const XEvent&)>& wanted) {
  Display* d = reader_.get();
  while (true) {
    while (XCheckTypedWindowEvent(d, readerWindow_, type, &event)) {
      if (wanted(event)) return true;
    }
    if (!readable(d, deadline)) return false;
    XEventsQueued(d, QueuedAfterReading);
  }
}

// The contents in one target: 8-bit data as bytes, or with `atoms` a list of atoms as the
// atoms' bytes; the incremental protocol for large contents.
std::optional<std::string> X11Clipboard::convert(Atom target, Deadline deadline, bool atoms) {
  Display* d = reader_.get();
  const Atom property = atom(d, "VESK_CLIPBOARD");
  // Notices of earlier transfers, answers that came too late among them, are no answer now.
  XEvent stale;
  while (XCheckTypedWindowEvent(d, readerWindow_, PropertyNotify, &stale) ||
         XCheckTypedWindowEvent(d, readerWindow_, SelectionNotify, &stale)) {
  }
  XDeleteProperty(d, readerWindow_, property);
  XConvertSelection(d, atom(d, "CLIPBOARD"), target, property, readerWindow_, CurrentTime);
  XFlush(d);
  XEvent event;
  if (!waitFor(SelectionNotify, deadline, event, [target](const XEvent& e) {
        return e.xselection.target == target;
      })) {
    return std::nullopt;
  }
  if (event.xselection.property == None) return std::nullopt;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(d, readerWindow_, property, 0, 0x7fffffff, True, AnyPropertyType, &type,
                         &format, &count, &after, &raw) != Success) {
    return std::nullopt;
  }
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (type == atom(d, "INCR")) {
    // The notices so far belong to the request; the pieces come after the deletion above.
    while (XCheckTypedWindowEvent(d, readerWindow_, PropertyNotify, &stale)) {
    }
    return incremental(property, std::chrono::steady_clock::now() + TRANSFER_LIMIT);
  }
  if (!data) return std::nullopt;
  if (format == 8 && !atoms) return std::string(reinterpret_cast<const char*>(data.get()), count);
  if (format == 32 && atoms && type == XA_ATOM) {
    return std::string(reinterpret_cast<const char*>(data.get()), count * sizeof(Atom));
  }
  return std::nullopt;  // other formats are not kept
}

std::optional<std::string> X11Clipboard::incremental(Atom property, Deadline deadline) {
  Display* d = reader_.get();
  std::string contents;
  while (true) {
    // A piece may be there before its notice is seen (a fast owner writes the first one while
    // the notices of the request are dropped), so look first and wait only when there is none;
    // reading a piece deletes it, which asks the owner for the next one.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(d, readerWindow_, property, 0, 0x7fffffff, True, AnyPropertyType,
                           &type, &format, &count, &after, &raw) != Success) {
      return std::nullopt;
    }
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (type == None) {
      XEvent event;
      if (!waitFor(PropertyNotify, deadline, event, [property](const XEvent& e) {
            return e.xproperty.atom == property && e.xproperty.state == PropertyNewValue;
          })) {
        return std::nullopt;
      }
      continue;
    }
    if (count == 0) return contents;  // the closing empty piece
    if (format != 8) return std::nullopt;
    contents.append(reinterpret_cast<const char*>(data.get()), count);
  }
}
