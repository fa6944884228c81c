#include "board/status_server_http.h"

#include <microhttpd.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
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
// Connections held open at once, in all and from one address: slow clients
// cost a socket and a little memory each, never a thread.
constexpr unsigned kMaxConnections = 4000;
constexpr unsigned kMaxConnectionsPerAddress = 2000;
// A connection that sends nothing for this long is closed.
constexpr unsigned kIdleSeconds = 5;
// A page is made on a thread of its own, so a read that hangs on a planted
// file holds that thread only; the request is answered 503 after this long
// and the next one starts afresh.
constexpr auto kRenderLimit = std::chrono::milliseconds(4000);
// Pages being made at once; a request beyond them is answered 503 at once
// (the surplus can only be reads that hang). Threads stuck in a read past
// their time limit no longer count, up to a bound of their own.
constexpr int kMaxRenders = 8;
constexpr int kMaxStuckRenders = 64;

// One request on its way: filled in by the rendering thread or by the
// watchdog, whichever comes first, then handed back to the event loop.
struct Job {
  MHD_Connection* connection = nullptr;
  StatusRequest request;
  Clock::time_point deadline;
  bool answered = false;
  bool overdue = false;  // answered by the watchdog while still being made
  StatusReply reply;
};

// What the access handler keeps per request.
struct RequestState {
  std::shared_ptr<Job> job;
};

// The rendering threads, the watchdog and the jobs they share. Shared with
// every rendering thread, so one that is still stuck in a read when the
// server stops finds it alive.
class Renderer {
 public:
  explicit Renderer(StatusSite site) : site_(std::move(site)) {}

  // Suspends the job's connection until a thread or the watchdog has
  // answered it; false, with the job answered 503, when too many pages are
  // being made already.
  bool start(const std::shared_ptr<Renderer>& self, const std::shared_ptr<Job>& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || running_ - stuck_ >= kMaxRenders || stuck_ >= kMaxStuckRenders) {
      job->reply = StatusProblem(503, "The data folder cannot be read just now.", job->request.nonce);
      job->answered = true;
      return false;
    }
    ++running_;
    job->deadline = Clock::now() + kRenderLimit;
    pending_.push_back(job);
    MHD_suspend_connection(job->connection);
    std::thread([self, job] { self->render(job); }).detach();
    wake_.notify_all();
    return true;
  }

  // Answers what has waited too long, until stop().
  void watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      const auto now = Clock::now();
      for (auto it = pending_.begin(); it != pending_.end();) {
        if ((*it)->deadline <= now) {
          (*it)->overdue = true;
          ++stuck_;
          answerLocked(*it, StatusProblem(503, "The data folder cannot be read just now.", (*it)->request.nonce));
          it = pending_.erase(it);
        } else {
          ++it;
        }
      }
      auto next = now + std::chrono::seconds(1);
      for (const auto& job : pending_) next = std::min(next, job->deadline);
      wake_.wait_until(lock, next);
    }
  }

  // Answers every waiting request (the daemon stops only with none
  // suspended); true when no page is still being made.
  bool stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (const auto& job : pending_) answerLocked(job, StatusProblem(503, "The server is stopping.", job->request.nonce));
    pending_.clear();
    wake_.notify_all();
    return running_ == 0;
  }

 private:
  void render(const std::shared_ptr<Job>& job) {
    ConsolePlatform console;
    StatusReply reply = AnswerStatusRequest(console.platform(), site_, job->request);
    std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    if (job->overdue) --stuck_;
    if (job->answered) return;
    pending_.remove(job);
    answerLocked(job, std::move(reply));
  }

  void answerLocked(const std::shared_ptr<Job>& job, StatusReply reply) {
    job->reply = std::move(reply);
    job->answered = true;
    MHD_resume_connection(job->connection);
  }

  const StatusSite site_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::list<std::shared_ptr<Job>> pending_;
  int running_ = 0;
  int stuck_ = 0;
  bool stopping_ = false;
};

struct Server {
  StatusSite site;
  std::shared_ptr<Renderer> renderer;
};

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

void Completed(void*, MHD_Connection*, void** perRequest, MHD_RequestTerminationCode) {
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
  Server server{site, std::make_shared<Renderer>(site)};
  MHD_Daemon* daemon = MHD_start_daemon(
      MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr, Answer, &server,
      MHD_OPTION_LISTEN_SOCKET, listener, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, kMaxConnectionsPerAddress,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds, MHD_OPTION_NOTIFY_COMPLETED, Completed, nullptr,
      MHD_OPTION_UNESCAPE_CALLBACK, Unescape, nullptr, MHD_OPTION_SIGPIPE_HANDLED_BY_APP, 1, MHD_OPTION_END);
  if (daemon == nullptr) {
    close(listener);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    err << "egresso-cli serve: the web server could not be started\n";
    return 1;
  }
  std::thread watchdog([renderer = server.renderer] { renderer->watch(); });
  out << "Serving the status page on " << Url(where, port) << " (Ctrl+C stops)" << std::endl;

  int sig = 0;
  sigwait(&stopSignals, &sig);
  const bool idle = server.renderer->stop();
  watchdog.join();
  MHD_stop_daemon(daemon);
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
