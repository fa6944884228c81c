#include "board/status_server_http.h"

#include <microhttpd.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

#include "board/cli.h"
#include "board/status_page.h"
#include "core/workstation.h"
#include "platform/console_platform.h"

namespace egresso {

namespace {

using Clock = std::chrono::steady_clock;

// A page request has a handful of headers; thousands of them are an attack
// on the memory of the server, not a browser.
constexpr unsigned kMaxHeaders = 100;
// What one connection may hold of its request: the request line and headers
// of any browser fit many times over; more is refused, never allocated.
constexpr std::size_t kConnectionMemory = 128 * 1024;
// Connections held open at once: slow clients cost a socket and a little
// memory each, never a thread. Once kCrowded are held, an address that
// holds kMaxConnectionsPerAddress gets no more (a browser opens a handful
// per server); the last kKeptFree places are only for addresses that hold
// none yet, so a few addresses never take them all.
constexpr unsigned kMaxConnections = 4000;
constexpr unsigned kCrowded = 1024;
constexpr unsigned kMaxConnectionsPerAddress = 64;
constexpr unsigned kKeptFree = 1000;
// A connection that sends nothing for this long is closed.
constexpr unsigned kIdleSeconds = 5;
// The whole request head must have come this long after the connection
// opened or its last answer went: a header line now and then does not hold
// a connection for ever.
constexpr auto kHeadLimit = std::chrono::seconds(4);
// Pages are made by a few threads of their own, so a read that hangs on a
// planted file holds that thread only; a request still unanswered after
// this long (its page hanging, or waiting behind pages that hang) is
// answered 503.
constexpr auto kRenderLimit = std::chrono::milliseconds(4000);
// Threads making pages. One stuck in a read past its time limit no longer
// counts and another takes its place, up to a bound of stuck ones.
constexpr int kMaxRenders = 8;
constexpr int kMaxStuckRenders = 64;
// Requests waiting for a thread; beyond them a request is answered 503 at
// once (only pages that hang keep this many waiting).
constexpr std::size_t kMaxQueued = 2000;
// Pages kept, one per route, user and host name asked for; when they are
// all taken the kept ones are dropped and made again as asked.
constexpr std::size_t kMaxKeptPages = 256;

// One request on its way: filled in by a rendering thread or by the
// watchdog, whichever comes first, then handed back to the event loop.
struct Job {
  MHD_Connection* connection = nullptr;
  StatusRequest request;
  Clock::time_point deadline;
  bool started = false;  // a thread is making its page
  bool answered = false;
  bool overdue = false;  // answered by the watchdog while still being made
  StatusReply reply;
};

// What the access handler keeps per request.
struct RequestState {
  std::shared_ptr<Job> job;
};

// A page as made for one request, kept for the next ones while the files it
// was made from stay as they were.
struct KeptPage {
  StatusReply reply;  // its nonce is token
  std::string token;
  std::string stamp;  // SourcesStamp of reply.sources and the minute, when it may be reused
};

std::int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A file time moves in steps: whole seconds on some file systems (a time
// without a fraction), a hundredth of a second at most on others. A file
// stamped within one step before a page was begun may be written again
// under the very same time, unseen.
std::int64_t StampStepNs(std::int64_t ns) { return ns % 1'000'000'000 == 0 ? 1'000'000'000 : 10'000'000; }

// The page's minute: its time and the board's "stale" marks move with it.
std::string Minute(Platform platform) {
  const LocalDateTime t = platform.clock->now();
  return std::to_string(t.year) + '-' + std::to_string(t.month) + '-' + std::to_string(t.day) + ' ' +
         std::to_string(t.hour) + ':' + std::to_string(t.minute) + '\n';
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty() || from == to) return;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// The rendering threads, the watchdog, the jobs and the kept pages they
// share. Shared with every rendering thread, so one that is still stuck in
// a read when the server stops finds it alive.
class Renderer {
 public:
  explicit Renderer(StatusSite site) : site_(std::move(site)) {}

  // Suspends the job's connection until a thread or the watchdog has
  // answered it; false, with the job answered 503, when the server stops or
  // too many requests are waiting already.
  bool start(const std::shared_ptr<Renderer>& self, const std::shared_ptr<Job>& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || queue_.size() >= kMaxQueued) {
      job->reply = StatusProblem(503, "The data folder cannot be read just now.", job->request.nonce);
      job->answered = true;
      return false;
    }
    job->deadline = Clock::now() + kRenderLimit;
    pending_.push_back(job);
    queue_.push_back(job);
    MHD_suspend_connection(job->connection);
    hireLocked(self);
    work_.notify_one();
    wake_.notify_all();
    return true;
  }

  // Answers what has waited too long, until stop().
  void watch(const std::shared_ptr<Renderer>& self) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      const auto now = Clock::now();
      for (auto it = pending_.begin(); it != pending_.end();) {
        if ((*it)->deadline <= now) {
          const std::shared_ptr<Job> job = *it;
          if (job->started) {
            job->overdue = true;
            ++stuck_;
          } else {
            queue_.erase(std::find(queue_.begin(), queue_.end(), job));
          }
          answerLocked(job, StatusProblem(503, "The data folder cannot be read just now.", job->request.nonce));
          it = pending_.erase(it);
        } else {
          ++it;
        }
      }
      hireLocked(self);
      auto next = now + std::chrono::seconds(1);
      for (const auto& job : pending_) next = std::min(next, job->deadline);
      wake_.wait_until(lock, next);
    }
  }

  // Answers every waiting request (the daemon stops only with none
  // suspended) and lets the idle threads go; true when no page is still
  // being made.
  bool stop() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    for (const auto& job : pending_) answerLocked(job, StatusProblem(503, "The server is stopping.", job->request.nonce));
    pending_.clear();
    queue_.clear();
    wake_.notify_all();
    work_.notify_all();
    // A page being made from a healthy folder is done well within a second.
    gone_.wait_for(lock, std::chrono::seconds(1), [this] { return threads_ == stuck_; });
    return threads_ == 0;
  }

 private:
  // Another thread when requests wait and none is free.
  void hireLocked(const std::shared_ptr<Renderer>& self) {
    if (stopping_ || queue_.size() <= idle_ || threads_ - stuck_ >= kMaxRenders || stuck_ >= kMaxStuckRenders) return;
    ++threads_;
    std::thread([self] { self->work(); }).detach();
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      ++idle_;
      work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      --idle_;
      if (stopping_) break;
      const std::shared_ptr<Job> job = queue_.front();
      queue_.pop_front();
      job->started = true;
      lock.unlock();
      StatusReply reply = answer(job->request);
      lock.lock();
      if (job->overdue) --stuck_;
      if (!job->answered) {
        pending_.remove(job);
        answerLocked(job, std::move(reply));
      }
      // One back from a read that hung may find its place taken.
      if (threads_ - stuck_ > kMaxRenders) break;
    }
    --threads_;
    gone_.notify_all();
  }

  // The kept page when nothing it was made from has changed since; else
  // the page made afresh, kept when the files stood still while it was made.
  StatusReply answer(const StatusRequest& request) {
    ConsolePlatform console;
    const std::string key = request.method + '\n' + request.path + '\n' + request.user + '\n' + request.host;
    std::shared_ptr<const KeptPage> kept;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (const auto it = kept_.find(key); it != kept_.end()) kept = it->second;
    }
    std::string before;
    if (kept) {
      std::int64_t newest = 0;
      before = Minute(console.platform()) + SourcesStamp(kept->reply.sources, newest);
      if (!kept->stamp.empty() && before == kept->stamp) {
        StatusReply reply = kept->reply;
        ReplaceAll(reply.body, kept->token, request.nonce);
        for (auto& header : reply.headers) ReplaceAll(header.second, kept->token, request.nonce);
        return reply;
      }
    }
    const std::int64_t begun = WallClockNs();
    const std::string minute = Minute(console.platform());
    StatusReply reply = AnswerStatusRequest(console.platform(), site_, request);
    // A page of a folder that cannot be read is made again for the next request.
    if (reply.status >= 500 || reply.sources.empty()) return reply;
    auto page = std::make_shared<KeptPage>();
    page->reply = reply;
    page->token = request.nonce;
    std::int64_t newest = 0;
    const std::string after = minute + SourcesStamp(reply.sources, newest);
    // Not reused when a source changed while the page was being made, or
    // may still change unseen under the time it has.
    const bool stoodStill = !kept || kept->reply.sources != reply.sources ||
                            before.compare(before.find('\n'), std::string::npos, after, after.find('\n')) == 0;
    if (stoodStill && newest + StampStepNs(newest) <= begun) page->stamp = after;
    std::lock_guard<std::mutex> lock(mutex_);
    if (kept_.size() >= kMaxKeptPages && kept_.find(key) == kept_.end()) kept_.clear();
    kept_[key] = std::move(page);
    return reply;
  }

  void answerLocked(const std::shared_ptr<Job>& job, StatusReply reply) {
    job->reply = std::move(reply);
    job->answered = true;
    MHD_resume_connection(job->connection);
  }

  const StatusSite site_;
  std::mutex mutex_;
  std::condition_variable wake_;  // the watchdog
  std::condition_variable work_;  // the rendering threads
  std::condition_variable gone_;  // a rendering thread ended
  std::list<std::shared_ptr<Job>> pending_;  // not yet answered
  std::deque<std::shared_ptr<Job>> queue_;   // waiting for a thread
  std::map<std::string, std::shared_ptr<const KeptPage>> kept_;
  std::size_t idle_ = 0;
  int threads_ = 0;
  int stuck_ = 0;
  bool stopping_ = false;
};

// The connections held, by address, and the ones still waiting for their
// request head. Touched by the server's thread (accept, start, request,
// close) and by the door's own thread, which ends the heads that are late
// by shutting their sockets down: the server then closes them as it would
// any connection its client closed.
class Door {
 public:
  bool admits(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = byAddress_.find(address);
    const unsigned held = it == byAddress_.end() ? 0 : it->second;
    if (held == 0) return true;
    if (held >= kMaxConnectionsPerAddress && open_.size() >= kCrowded) return false;
    return open_.size() + kKeptFree < kMaxConnections;
  }
  void opened(MHD_Connection* connection, const std::string& address, int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_[connection] = {address, fd, Clock::now() + kHeadLimit, true};
    ++byAddress_[address];
  }
  void closed(MHD_Connection* connection) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = open_.find(connection);
    if (it == open_.end()) return;
    if (--byAddress_[it->second.address] == 0) byAddress_.erase(it->second.address);
    open_.erase(it);
  }
  // The head has come whole; after the answer the next one is waited for.
  void headCame(MHD_Connection* connection) { setWaiting(connection, false); }
  void answered(MHD_Connection* connection) { setWaiting(connection, true); }

  void watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      const auto now = Clock::now();
      for (auto& [connection, c] : open_)
        if (c.waiting && c.deadline <= now && c.fd >= 0) {
          ::shutdown(c.fd, SHUT_RDWR);
          c.fd = -1;
        }
      wake_.wait_for(lock, std::chrono::milliseconds(250));
    }
  }
  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
  }

 private:
  struct Held {
    std::string address;
    int fd = -1;
    Clock::time_point deadline;
    bool waiting = true;
  };
  void setWaiting(MHD_Connection* connection, bool waiting) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = open_.find(connection);
    if (it == open_.end()) return;
    it->second.waiting = waiting;
    it->second.deadline = Clock::now() + kHeadLimit;
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<MHD_Connection*, Held> open_;
  std::map<std::string, unsigned> byAddress_;
  bool stopping_ = false;
};

std::string AddressOf(const sockaddr* address) {
  char host[NI_MAXHOST] = {};
  if (address == nullptr) return {};
  const socklen_t size = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
  getnameinfo(address, size, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
  return host;
}

struct Server {
  StatusSite site;
  std::shared_ptr<Renderer> renderer;
  Door door;
};

MHD_Result Admit(void* cls, const sockaddr* address, socklen_t) {
  return static_cast<Server*>(cls)->door.admits(AddressOf(address)) ? MHD_YES : MHD_NO;
}

void Connected(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
  Door& door = static_cast<Server*>(cls)->door;
  if (code == MHD_CONNECTION_NOTIFY_CLOSED) return door.closed(connection);
  const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  const MHD_ConnectionInfo* from = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  door.opened(connection, AddressOf(from != nullptr ? from->client_addr : nullptr), fd != nullptr ? fd->connect_fd : -1);
}

MHD_Result Queue(MHD_Connection* connection, const StatusReply& reply, bool close) {
  MHD_Response* response =
      MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  for (const auto& [name, value] : reply.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
  if (close || reply.status == 405) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
  MHD_destroy_response(response);
  return result;
}

MHD_Result CountHeader(void* cls, MHD_ValueKind, const char*, const char*) {
  ++*static_cast<unsigned*>(cls);
  return MHD_YES;
}

std::string Value(MHD_Connection* connection, MHD_ValueKind kind, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, kind, name);
  return value != nullptr ? value : "";
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                  const char*, std::size_t* uploadSize, void** perRequest) {
  auto* server = static_cast<Server*>(cls);
  auto* state = static_cast<RequestState*>(*perRequest);
  if (state != nullptr) {
    // Back from the rendering thread, or a body the request should not
    // have: its bytes are never read as the next request.
    if (state->job && state->job->answered) return Queue(connection, state->job->reply, false);
    *uploadSize = 0;
    return MHD_YES;
  }
  state = new RequestState;
  *perRequest = state;
  server->door.headCame(connection);
  const std::string nonce = NewStyleNonce();
  unsigned headers = 0;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, CountHeader, &headers);
  if (headers > kMaxHeaders) return Queue(connection, StatusProblem(431, "Too many request headers.", nonce), true);
  const std::string m = method;
  const bool body = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) ||
                    (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH) &&
                     Value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH) != "0");
  if (body && (m == "GET" || m == "HEAD"))
    return Queue(connection, StatusProblem(400, "A request for a page has no body.", nonce), true);
  StatusRequest request{m, url, Value(connection, MHD_GET_ARGUMENT_KIND, "user"),
                        Value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST), nonce};
  // Any other method is refused before a file is read: answered here, and
  // the connection closed rather than its body read.
  if (m != "GET" && m != "HEAD") {
    ConsolePlatform console;
    return Queue(connection, AnswerStatusRequest(console.platform(), server->site, request), true);
  }
  auto job = std::make_shared<Job>();
  job->connection = connection;
  job->request = std::move(request);
  state->job = job;
  if (!server->renderer->start(server->renderer, job)) return Queue(connection, job->reply, false);
  return MHD_YES;
}

void Completed(void* cls, MHD_Connection* connection, void** perRequest, MHD_RequestTerminationCode) {
  static_cast<Server*>(cls)->door.answered(connection);
  delete static_cast<RequestState*>(*perRequest);
  *perRequest = nullptr;
}

// A decoded NUL cannot stand in the path the handler is given (it would cut
// it short, "/messages/ANN%00" becoming ANN's page): it is decoded as a
// control byte that no route takes.
std::size_t Unescape(void*, MHD_Connection*, char* text) {
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (in[0] == '%' && std::isxdigit(static_cast<unsigned char>(in[1])) &&
        std::isxdigit(static_cast<unsigned char>(in[2]))) {
      const char hex[3] = {in[1], in[2], '\0'};
      const char c = static_cast<char>(std::strtol(hex, nullptr, 16));
      *out++ = c == '\0' ? '\x01' : c;
      in += 2;
    } else {
      *out++ = *in;
    }
  }
  *out = '\0';
  return static_cast<std::size_t>(out - text);
}

// The listening socket, made here so that a port in use is said at once
// and port 0 is told back.
int Listen(const ListenAddress& where, int& port, std::string& error) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  if (getaddrinfo(where.host.c_str(), std::to_string(where.port).c_str(), &hints, &found) != 0 || found == nullptr) {
    error = "no such address";
    return -1;
  }
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    // Not SO_REUSEPORT: a second server on the port is told it is taken
    // instead of sharing its connections.
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 1024) != 0) {
      error = std::strerror(errno);
      close(fd);
      fd = -1;
      continue;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    char service[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&bound), size, nullptr, 0, service, sizeof service, NI_NUMERICSERV);
    port = std::atoi(service);
  }
  freeaddrinfo(found);
  return fd;
}

std::string Url(const ListenAddress& where, int port) {
  const bool v6 = where.host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + where.host + "]" : where.host) + ":" + std::to_string(port) + "/";
}

// The names the page answers to besides the local computer's: the listen
// address itself unless it stands for every address, and this computer's
// own name.
void AddOwnNames(const ListenAddress& where, std::vector<std::string>& names) {
  std::string unused;
  if (where.host != "0.0.0.0" && where.host != "::") AddHostNames(where.host, names, unused);
  char own[256] = {};
  if (gethostname(own, sizeof own - 1) == 0 && own[0] != '\0') AddHostNames(own, names, unused);
}

}  // namespace

int RunServeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                    std::ostream& err) {
  ListenAddress where{"127.0.0.1", 8080};
  StatusSite site;
  site.programFolder = programFolder;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valueOf = [&](std::string_view option, std::string& value) {
      if (a == option) {
        if (i + 1 < args.size()) value = args[++i];
        return true;
      }
      if (a.size() > option.size() && a.compare(0, option.size(), option) == 0 && a[option.size()] == '=') {
        value = a.substr(option.size() + 1);
        return true;
      }
      return false;
    };
    std::string value;
    if (valueOf("--listen", value)) {
      std::string error;
      if (!ParseListenAddress(value, where, error)) {
        err << "egresso-cli serve: --listen \"" << value << "\": " << error << "\n";
        return 2;
      }
    } else if (valueOf("--host-name", value)) {
      std::string error;
      if (!AddHostNames(value, site.hostNames, error)) {
        err << "egresso-cli serve: --host-name \"" << value << "\": " << error << "\n";
        return 2;
      }
    } else if (a == "--protected-headlines") {
      site.protectedHeadlines = true;
    } else if (a == "--help" || a == "-h") {
      out << CliHelp();
      return 0;
    } else if (a.rfind("--", 0) == 0) {
      err << "egresso-cli serve: unknown option \"" << a << "\"\n";
      return 2;
    } else {
      site.switches.push_back(a);
    }
  }
  AddOwnNames(where, site.hostNames);
  {
    ConsolePlatform console;
    Workstation ws(console.platform());
    std::string error;
    if (!LoadViewer(ws, programFolder, site.switches, error)) {
      err << "egresso-cli serve: " << error << "\n";
      return 1;
    }
  }

  // The stop signals are waited for by this thread; blocked before the
  // server starts its threads, so none of those is interrupted.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  signal(SIGPIPE, SIG_IGN);

  int port = 0;
  std::string error;
  const int listener = Listen(where, port, error);
  if (listener < 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    err << "egresso-cli serve: cannot listen on " << where.host << ":" << where.port << ": " << error << "\n";
    return 1;
  }
  Server server{site, std::make_shared<Renderer>(site), {}};
  MHD_Daemon* daemon = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME, 0, Admit, &server, Answer, &server,
      MHD_OPTION_LISTEN_SOCKET, listener, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_NOTIFY_COMPLETED, Completed, &server,
      MHD_OPTION_NOTIFY_CONNECTION, Connected, &server,
      MHD_OPTION_UNESCAPE_CALLBACK, Unescape, nullptr, MHD_OPTION_SIGPIPE_HANDLED_BY_APP, 1, MHD_OPTION_END);
  if (daemon == nullptr) {
    close(listener);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    err << "egresso-cli serve: the web server could not be started\n";
    return 1;
  }
  std::thread watchdog([renderer = server.renderer] { renderer->watch(renderer); });
  std::thread doorman([&server] { server.door.watch(); });
  out << "Serving the status page on " << Url(where, port) << " (Ctrl+C stops)" << std::endl;

  int sig = 0;
  sigwait(&stopSignals, &sig);
  const bool idle = server.renderer->stop();
  watchdog.join();
  MHD_stop_daemon(daemon);
  server.door.stop();
  doorman.join();
  close(listener);
  out << "Stopped." << std::endl;
  if (!idle) {
    // A page is still stuck in a read of a planted file: its thread cannot
    // be joined, and nothing of it needs tidying up.
    err.flush();
    std::_Exit(0);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return 0;
}

}  // namespace egresso
