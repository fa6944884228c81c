// The status page: the in/out board and one user's message headlines as a
// read-only web page for phones and wall screens. Every request is answered
// from the files as they are at that moment, through the read-only viewer of
// the command-line companion, so the page writes, locks and consumes
// nothing. The HTTP side (sockets, parsing) lives in the platform layer and
// hands each request to AnswerStatusRequest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "storage/file_ops.h"

namespace egresso {

struct Workstation;

// What every page is made from: the program folder and the program's
// switches (data folder, layout, ...), taken as egresso-cli takes them.
struct StatusSite {
  std::string programFolder;
  std::vector<std::string> switches;
  // The names (or addresses) the page is asked for under, besides the
  // loopback names of the local computer. A request that names any other
  // host in its Host header is refused, so a web site cannot make a browser
  // read the page through a name of its own (DNS rebinding), whichever
  // address the server listens on.
  std::vector<std::string> hostNames = {};
  // The message headlines of employees whose entry asks for a password are
  // shown only when the administrator has said so.
  bool protectedHeadlines = false;
  // The file calls every page's viewer makes; none: the workstation's own.
  // Shared by the threads that make pages, so it must hold no state.
  FileOps* files = nullptr;
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
  // What the reply was made from: the data folders (their own files, not
  // their subfolders' files) and the notice file. Empty for a reply that
  // read nothing.
  std::vector<std::string> sources;
};

// The routes: "/" the board; "/roll-call", "/calendar.ics" and
// "/board.json" (board/data_routes.h); "/messages/INI" or "/messages?user=INI" the
// message headlines of the employee with those initials. Only GET and HEAD
// (405 otherwise); any other path, and initials not in the employee table,
// give 404; a Host header naming none of the site's names 403; the
// headlines of an employee whose entry asks for a password 403 unless the
// site shows them; a data folder that cannot be read gives 503.
StatusReply AnswerStatusRequest(Platform platform, const StatusSite& site, const StatusRequest& request);

// reply with its sources: the site's folders, and the data folders and the
// notice file of the viewers it was made by (reader: the one of the user).
StatusReply WithSources(StatusReply reply, const StatusSite& site, const Workstation& ws,
                        const Workstation* reader = nullptr);

// The state of a reply's sources as a text that changes whenever one of
// them does, as far as the file system tells: for each source and each file
// directly in a source folder, its name, kind, size and modification time
// (a file added, removed or renamed changes its folder's time). newestNs:
// the latest modification time met, in nanoseconds since the Unix epoch.
std::string SourcesStamp(const std::vector<std::string>& sources, std::int64_t& newestNs);

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

// Adds the comma-separated host names or addresses of text to names (lower
// case, without a trailing dot); false, with the reason, when one cannot be
// a host name.
bool AddHostNames(std::string_view text, std::vector<std::string>& names, std::string& error);

// "HOST:PORT" or "[IPV6]:PORT" of the --listen option; port 0 lets the
// system choose one. False, with the reason, for anything else.
struct ListenAddress {
  std::string host;
  int port = 0;
};
bool ParseListenAddress(std::string_view text, ListenAddress& out, std::string& error);

}  // namespace egresso
