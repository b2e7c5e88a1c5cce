#pragma once
// What the status server's connection keeper needs to know of the bytes a client has
// sent before a worker answers them: whether a whole request has arrived (its head,
// and its body as long as Content-Length says), how many bytes it takes, and whether
// it is one of the cheap answers monitoring depends on. Everything else about the
// request is the HTTP library's business once a worker has it.

#include <cstddef>
#include <string_view>

namespace velmora::monitoring {

enum class RequestState {
  Incomplete,      // more bytes are needed
  Complete,        // the first `bytes` received are one whole request
  TooLarge,        // head and body together exceed the limit: 413, then close
  BadRequest,      // an unreadable or contradictory Content-Length: 400, then close
  LengthRequired,  // a body in chunks (Transfer-Encoding), which no path takes: 411, then close
};

struct RequestHead {
  RequestState state = RequestState::Incomplete;
  std::size_t bytes = 0;  // Complete: head and body
  // GET /metrics or GET /status: answered from memory in microseconds, so a worker
  // is kept for them alone.
  bool monitoring = false;
};

// Looks at the bytes received so far on a connection, the next request first. A
// request without Content-Length and without Transfer-Encoding has no body (so a
// POST without one is whole once its head is), as HTTP/1.1 says.
RequestHead ExamineRequest(std::string_view received, std::size_t maxRequestBytes);

}  // namespace velmora::monitoring
