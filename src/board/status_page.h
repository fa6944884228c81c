// The status page: the in/out board and one user's message headlines as a
// read-only web page for phones and wall screens. Every request is answered
// from the files as they are at that moment, through the read-only viewer of
// the command-line companion, so the page writes, locks and consumes
// nothing. The HTTP side (sockets, parsing) lives in the platform layer and
// hands each request to AnswerStatusRequest.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/services.h"

namespace egresso {

// What every page is made from: the program folder and the program's
// switches (data folder, layout, ...), taken as egresso-cli takes them.
struct StatusSite {
  std::string programFolder;
  std::vector<std::string> switches;
  // Served on a loopback address: only requests that name the local
  // computer in their Host header are answered, so a web site cannot make
  // a browser on this computer read the page through a name of its own
  // (DNS rebinding).
  bool loopbackOnly = false;
  // The calendar feed keeps the employees who sign in with a password.
  bool withProtected = false;
};

struct StatusRequest {
  std::string method;
  std::string path;   // percent-decoded, without the query
  std::string user;   // the decoded "user" query parameter, empty when absent
  std::string host;   // the Host header, empty when absent
  std::string nonce;  // fresh per reply: the only style sheet allowed is the page's own
};

struct StatusReply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // UTF-8
};

// The routes: "/" the board; "/roll-call", "/calendar.ics" and
// "/board.json" (board/data_routes.h); "/messages/INI" or "/messages?user=INI" the
// message headlines of the employee with those initials. Only GET and HEAD
// (405 otherwise); any other path, and initials not in the employee table,
// give 404; a foreign Host on a loopback-only site 403; a data folder that
// cannot be read gives 503.
StatusReply AnswerStatusRequest(Platform platform, const StatusSite& site, const StatusRequest& request);

// A short page for a refused request (status 400 and up), with the same
// safe headers as every page.
StatusReply StatusProblem(int status, std::string_view text, std::string_view nonce);

// UTF-8 text made safe as HTML text and as a quoted attribute value.
std::string HtmlEscape(std::string_view text);

// A random token for the Content-Security-Policy nonce.
std::string NewStyleNonce();

// Whether a host name or address (without port) is the local computer's
// loopback: localhost, 127.x.x.x, ::1.
bool IsLoopbackName(std::string_view host);

// "HOST:PORT" or "[IPV6]:PORT" of the --listen option; port 0 lets the
// system choose one. False, with the reason, for anything else.
struct ListenAddress {
  std::string host;
  int port = 0;
};
bool ParseListenAddress(std::string_view text, ListenAddress& out, std::string& error);

}  // namespace egresso
