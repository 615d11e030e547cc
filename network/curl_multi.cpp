#include "network/curl_multi.h"

#include <memory>
#include <new>

namespace veskor {
namespace {

void InitCurlOnce() {
  // Thread-safe since C++11; libcurl wants this before any other call when
  // more than one thread might use it.
  static const CURLcode ignored = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)ignored;
}

}  // namespace

CurlMulti::CurlMulti(TransferWaiter& waiter, int maxConnections) : waiter_(waiter) {
  InitCurlOnce();
  multi_ = curl_multi_init();
  if (!multi_) throw std::bad_alloc();
  waiter_.Attach(*this);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::SocketCallback);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::TimerCallback);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  const long limit = maxConnections > 0 ? maxConnections : 1;
  curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, limit);
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, limit);
  // Idle connections kept for the next request: as many as may be in use.
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, limit);
}

CurlMulti::~CurlMulti() {
  // Closing the cached connections may still call back about their sockets.
  curl_multi_cleanup(multi_);
  waiter_.SetTimer(-1);
}

void CurlMulti::Add(CURL* easy, Finished finished) {
  curl_easy_setopt(easy, CURLOPT_PRIVATE, new Finished(std::move(finished)));
  const CURLMcode code = curl_multi_add_handle(multi_, easy);
  if (code != CURLM_OK) {
    // Reported like any other failed transfer, from the caller's own wait.
    char* data = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &data);
    std::unique_ptr<Finished> done(reinterpret_cast<Finished*>(data));
    curl_easy_setopt(easy, CURLOPT_PRIVATE, nullptr);
    (*done)(easy, code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT);
  }
}

void CurlMulti::Remove(CURL* easy) {
  char* data = nullptr;
  curl_easy_getinfo(easy, CURLINFO_PRIVATE, &data);
  if (!data) return;  // already finished
  delete reinterpret_cast<Finished*>(data);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, nullptr);
  curl_multi_remove_handle(multi_, easy);
}

void CurlMulti::OnSocketReady(int fd, bool readable, bool writable, bool failed) {
  Act(fd, (readable ? CURL_CSELECT_IN : 0) | (writable ? CURL_CSELECT_OUT : 0) |
              (failed ? CURL_CSELECT_ERR : 0));
}

void CurlMulti::OnTimeout() { Act(CURL_SOCKET_TIMEOUT, 0); }

void CurlMulti::Act(curl_socket_t fd, int events) {
  int running = 0;
  curl_multi_socket_action(multi_, fd, events, &running);
  ReapFinished();
}

void CurlMulti::ReapFinished() {
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    CURL* easy = msg->easy_handle;
    const CURLcode result = msg->data.result;
    char* data = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &data);
    std::unique_ptr<Finished> finished(reinterpret_cast<Finished*>(data));
    curl_easy_setopt(easy, CURLOPT_PRIVATE, nullptr);
    // msg points into the handle: read everything before removing it.
    curl_multi_remove_handle(multi_, easy);
    if (finished) (*finished)(easy, result);
  }
}

int CurlMulti::SocketCallback(CURL*, curl_socket_t fd, int what, void* self, void*) {
  auto& me = *static_cast<CurlMulti*>(self);
  const bool read = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
  const bool write = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
  me.waiter_.WatchSocket(fd, read, write);
  return 0;
}

int CurlMulti::TimerCallback(CURLM*, long ms, void* self) {
  static_cast<CurlMulti*>(self)->waiter_.SetTimer(ms);
  return 0;
}

}  // namespace veskor
