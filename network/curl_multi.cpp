#include "network/curl_multi.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace veskor {
namespace {

void InitCurlOnce() {
  // Thread-safe since C++11; libcurl wants this before any other call when
  // more than one thread might use it.
  static const CURLcode ignored = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)ignored;
}

}  // namespace

struct CurlMulti::Transfer {
  Transfer(CurlMulti& owner, CURL* handle, Finished done)
      : multi(owner), easy(handle), finished(std::move(done)) {}

  CurlMulti& multi;
  CURL* easy;
  Finished finished;
  // Since when nothing has come in. None until its request is about to go
  // out: a transfer that waits for a free connection is not stalled, and
  // libcurl's connect time-out covers the connecting.
  std::optional<Clock::time_point> quietSince;
  curl_off_t received = 0;  // headers and body, as last seen
  // The pre-request check turned down a connection with input waiting.
  bool refusedConnection = false;
  // Started again on a connection of its own, which needs no check.
  bool onFreshConnection = false;
};

CurlMulti::CurlMulti(TransferWaiter& waiter, int maxConnections,
                     std::chrono::milliseconds stallTimeout)
    : waiter_(waiter), stallTimeout_(stallTimeout) {
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
  auto owned = std::make_unique<Transfer>(*this, easy, std::move(finished));
  Transfer& transfer = *owned;
  transfers_[easy] = std::move(owned);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &CurlMulti::SocketOpened);
  curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlMulti::BeforeRequest);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlMulti::Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
  Start(transfer);
}

void CurlMulti::Start(Transfer& transfer) {
  const CURLMcode code = curl_multi_add_handle(multi_, transfer.easy);
  // Reported like any other failed transfer, from the caller's own wait.
  if (code != CURLM_OK)
    Finish(transfer.easy, code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT);
}

void CurlMulti::Remove(CURL* easy) {
  const auto found = transfers_.find(easy);
  if (found == transfers_.end()) return;  // already finished
  curl_multi_remove_handle(multi_, easy);
  transfers_.erase(found);
  ArmTimer();
}

void CurlMulti::Finish(CURL* easy, CURLcode result) {
  const auto found = transfers_.find(easy);
  if (found == transfers_.end()) return;
  const std::unique_ptr<Transfer> transfer = std::move(found->second);
  transfers_.erase(found);
  transfer->finished(easy, result);
}

void CurlMulti::OnSocketReady(int fd, bool readable, bool writable, bool failed) {
  Act(fd, (readable ? CURL_CSELECT_IN : 0) | (writable ? CURL_CSELECT_OUT : 0) |
              (failed ? CURL_CSELECT_ERR : 0));
}

void CurlMulti::OnTimeout() {
  armed_.reset();
  if (curlDue_ && Clock::now() >= *curlDue_) {
    curlDue_.reset();
    Act(CURL_SOCKET_TIMEOUT, 0);
  }
  EndStalled();
  ArmTimer();
}

void CurlMulti::Act(curl_socket_t fd, int events) {
  int running = 0;
  curl_multi_socket_action(multi_, fd, events, &running);
  ReapFinished();
  ArmTimer();
}

void CurlMulti::ReapFinished() {
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
    if (msg->msg != CURLMSG_DONE) continue;
    // msg points into the handle: read everything before removing it.
    CURL* easy = msg->easy_handle;
    const CURLcode result = msg->data.result;
    curl_multi_remove_handle(multi_, easy);
    const auto found = transfers_.find(easy);
    if (found == transfers_.end()) continue;
    Transfer& transfer = *found->second;
    if (transfer.refusedConnection && result == CURLE_ABORTED_BY_CALLBACK) {
      // Nothing was sent, nothing taken: the same request again, on a
      // connection that holds nothing but its own reply. libcurl closed the
      // refused one when the transfer aborted.
      transfer.refusedConnection = false;
      transfer.onFreshConnection = true;
      transfer.quietSince.reset();
      curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
      Start(transfer);
      continue;
    }
    Finish(easy, result);
  }
}

void CurlMulti::EndStalled() {
  const auto now = Clock::now();
  std::vector<CURL*> stalled;
  for (const auto& [easy, transfer] : transfers_)
    if (transfer->quietSince && now - *transfer->quietSince >= stallTimeout_) stalled.push_back(easy);
  for (CURL* easy : stalled) {
    curl_multi_remove_handle(multi_, easy);
    Finish(easy, CURLE_OPERATION_TIMEDOUT);
  }
}

void CurlMulti::ArmTimer() {
  std::optional<Clock::time_point> due = curlDue_;
  for (const auto& [easy, transfer] : transfers_) {
    if (!transfer->quietSince) continue;
    const auto stallAt = *transfer->quietSince + stallTimeout_;
    if (!due || stallAt < *due) due = stallAt;
  }
  if (due == armed_) return;
  armed_ = due;
  if (!due) {
    waiter_.SetTimer(-1);
    return;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
  waiter_.SetTimer(static_cast<long>(std::max<decltype(ms)>(ms, 0)));
}

int CurlMulti::SocketCallback(CURL*, curl_socket_t fd, int what, void* self, void*) {
  auto& me = *static_cast<CurlMulti*>(self);
  const bool read = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
  const bool write = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
  me.waiter_.WatchSocket(fd, read, write);
  return 0;
}

int CurlMulti::TimerCallback(CURLM*, long ms, void* self) {
  auto& me = *static_cast<CurlMulti*>(self);
  if (ms < 0)
    me.curlDue_.reset();
  else
    me.curlDue_ = Clock::now() + std::chrono::milliseconds(ms);
  me.ArmTimer();
  return 0;
}

int CurlMulti::SocketOpened(void* self, curl_socket_t fd, curlsocktype purpose) {
  if (purpose == CURLSOCKTYPE_IPCXN) static_cast<CurlMulti*>(self)->sockets_.Opened(fd);
  return CURL_SOCKOPT_OK;
}

int CurlMulti::BeforeRequest(void* self, char* peerIp, char* localIp, int peerPort,
                             int localPort) {
  auto& transfer = *static_cast<Transfer*>(self);
  transfer.quietSince = Clock::now();
  if (!transfer.onFreshConnection &&
      transfer.multi.sockets_.HasInputWaiting(localIp, localPort, peerIp, peerPort)) {
    transfer.refusedConnection = true;
    return CURL_PREREQFUNC_ABORT;
  }
  return CURL_PREREQFUNC_OK;
}

int CurlMulti::Progress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(self);
  long headerBytes = 0;
  curl_easy_getinfo(transfer.easy, CURLINFO_HEADER_SIZE, &headerBytes);
  const curl_off_t total = received + headerBytes;
  if (total != transfer.received) {
    transfer.received = total;
    transfer.quietSince = Clock::now();
  }
  return 0;
}

}  // namespace veskor
