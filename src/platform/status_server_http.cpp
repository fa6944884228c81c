#include "platform/status_server_http.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <thread>

#include "board/cli.h"
#include "board/status_page.h"
#include "core/workstation.h"
#include "platform/console_platform.h"

namespace egresso {

namespace {

// A page request has a handful of headers; thousands of them are an attack
// on the memory of the server, not a browser.
constexpr std::size_t kMaxHeaders = 100;
// Only GET and HEAD are answered: a body is never needed.
constexpr std::size_t kMaxBody = 1024;
constexpr std::size_t kThreads = 32;

void Apply(const StatusReply& reply, httplib::Response& res) {
  res.status = reply.status;
  std::string type = "text/plain";
  for (const auto& [name, value] : reply.headers) {
    if (name == "Content-Type")
      type = value;
    else
      res.set_header(name, value);
  }
  res.set_content(reply.body, type.c_str());
}

std::string Url(const ListenAddress& where, int port) {
  const bool v6 = where.host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + where.host + "]" : where.host) + ":" + std::to_string(port) + "/";
}

}  // namespace

int RunServeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                    std::ostream& err) {
  ListenAddress where{"127.0.0.1", 8080};
  StatusSite site{programFolder, {}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--listen" || a.rfind("--listen=", 0) == 0) {
      std::string value;
      if (a != "--listen")
        value = a.substr(9);
      else if (i + 1 < args.size())
        value = args[++i];
      std::string error;
      if (!ParseListenAddress(value, where, error)) {
        err << "egresso-cli serve: --listen \"" << value << "\": " << error << "\n";
        return 2;
      }
    } else if (a == "--with-protected") {
      site.withProtected = true;
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
  site.loopbackOnly = IsLoopbackName(where.host);
  {
    ConsolePlatform console;
    Workstation ws(console.platform());
    std::string error;
    if (!LoadViewer(ws, programFolder, site.switches, error)) {
      err << "egresso-cli serve: " << error << "\n";
      return 1;
    }
  }

  // The stop signals are taken by one thread that waits for them; blocked
  // before the server starts its threads, so none of those is interrupted.
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  signal(SIGPIPE, SIG_IGN);

  httplib::Server server;
  // The pages are made one at a time: each reads the data folder anew.
  std::mutex rendering;
  server.set_payload_max_length(kMaxBody);
  // The library's default would also set SO_REUSEPORT: a second server on
  // the same port would then share its connections instead of being told
  // the port is taken.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // Each connection holds a thread while it sends its request, for at most
  // the read timeout per pause: more threads than the library's few keep a
  // handful of slow or idle clients from shutting the others out.
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  server.set_keep_alive_timeout(5);
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    const std::string nonce = NewStyleNonce();
    if (req.headers.size() > kMaxHeaders) {
      Apply(StatusProblem(431, "Too many request headers.", nonce), res);
      res.set_header("Connection", "close");
      return httplib::Server::HandlerResponse::Handled;
    }
    // A page request carries no body; the bytes of one that says it does
    // are never read, so the connection is closed after the answer instead
    // of reading them as the next request.
    const bool body = req.has_header("Transfer-Encoding") ||
                      (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
    StatusReply reply;
    if (body && (req.method == "GET" || req.method == "HEAD")) {
      reply = StatusProblem(400, "A request for a page has no body.", nonce);
    } else {
      const StatusRequest request{req.method, req.path, req.get_param_value("user"), req.get_header_value("Host"),
                                  nonce};
      std::lock_guard<std::mutex> lock(rendering);
      ConsolePlatform console;
      reply = AnswerStatusRequest(console.platform(), site, request);
    }
    Apply(reply, res);
    if (body || reply.status == 405) res.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
  });
  // What the library refuses by itself (a malformed request, a URI or body
  // too long) gets the same short page and safe headers.
  const httplib::Server::HandlerWithResponse refused = [](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    Apply(StatusProblem(res.status, "The request was refused.", NewStyleNonce()), res);
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(refused);

  int port = where.port;
  if (port == 0)
    port = server.bind_to_any_port(where.host);
  else if (!server.bind_to_port(where.host, port))
    port = -1;
  if (port <= 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    err << "egresso-cli serve: cannot listen on " << where.host << ":" << where.port << "\n";
    return 1;
  }
  out << "Serving the status page on " << Url(where, port) << " (Ctrl+C stops)" << std::endl;

  std::atomic<bool> listening{true}, signalled{false};
  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    signalled = true;
    // A signal between binding and listening finds the server not running
    // yet: stop again until listening has ended.
    while (listening) {
      server.stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const bool ok = server.listen_after_bind();
  listening = false;
  if (!signalled) pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!signalled && !ok) {
    err << "egresso-cli serve: the server stopped unexpectedly\n";
    return 1;
  }
  out << "Stopped." << std::endl;
  return 0;
}

}  // namespace egresso
