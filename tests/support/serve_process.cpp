#include "support/serve_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>


namespace egresso::test {

ServeProcess::ServeProcess(std::vector<std::string> args) {
  args.insert(args.begin(), {std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli", "serve", "--listen", "127.0.0.1:0"});
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  out_ = fdopen(out[0], "r");
  // "Serving the status page on http://127.0.0.1:PORT/ ..."
  char line[256] = {};
  if (out_ != nullptr && fgets(line, sizeof line, out_) != nullptr) {
    const std::string text = line;
    const std::size_t at = text.find("127.0.0.1:");
    if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 10);
  }
}

ServeProcess::~ServeProcess() {
  if (pid_ > 0 && stop(SIGTERM) != 0) ADD_FAILURE() << "the server did not stop cleanly";
  if (out_ != nullptr) fclose(out_);
}

std::string ServeProcess::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int ServeProcess::stop(int signal) {
  kill(pid_, signal);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ConnectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  // A server that never answers fails the test instead of hanging it.
  timeval limit{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return fd;
}

namespace {

// Whether reply holds one whole response (headers and Content-Length bytes).
bool Complete(const std::string& reply, bool head) {
  const std::size_t end = reply.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  const std::size_t at = reply.find("Content-Length: ");
  const std::size_t length = at != std::string::npos && at < end ? std::stoul(reply.substr(at + 16)) : 0;
  return head || reply.size() >= end + 4 + length;
}

}  // namespace

std::string Exchange(int port, const std::string& request) {
  const int fd = ConnectLoopback(port);
  if (fd < 0) return "no connection";
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server closed on us: what it said is still to be read
    sent += static_cast<std::size_t>(n);
  }
  const bool head = request.rfind("HEAD ", 0) == 0;
  std::string reply;
  char buf[4096];
  for (ssize_t n; !Complete(reply, head) && (n = recv(fd, buf, sizeof buf, 0)) > 0;)
    reply.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return reply;
}

long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

int StatusOf(const std::string& reply) {
  if (reply.rfind("HTTP/1.1 ", 0) != 0) return 0;
  return std::atoi(reply.c_str() + 9);
}

}  // namespace egresso::test
