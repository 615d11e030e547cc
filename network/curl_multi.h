#pragma once
// libcurl's multi interface behind a TransferWaiter: any number of transfers
// in flight on one set of kept-alive connections, driven by socket and timer
// events from whatever loop the waiter runs.
//
// Two duties that libcurl leaves to us live here. A kept-alive connection
// with input waiting is never used for another request: the transfer starts
// again on a fresh connection. And a transfer that receives nothing for the
// stall time ends then, to the millisecond; libcurl's own low-speed check
// averages over several seconds and would end it seconds late.

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include "network/connection_sockets.h"
#include "network/transfer_waiter.h"

namespace veskor {

class CurlMulti final : public SocketActions {
 public:
  // `waiter` must outlive this object. At most `maxConnections` connections
  // are open at once; transfers beyond them queue inside libcurl. A transfer
  // that receives nothing for `stallTimeout` once its request is on its way
  // ends with CURLE_OPERATION_TIMEDOUT.
  CurlMulti(TransferWaiter& waiter, int maxConnections, std::chrono::milliseconds stallTimeout);
  ~CurlMulti() override;
  CurlMulti(const CurlMulti&) = delete;
  CurlMulti& operator=(const CurlMulti&) = delete;

  // Called with the easy handle and libcurl's result once a transfer ends.
  using Finished = std::function<void(CURL*, CURLcode)>;

  // Starts `easy`; `finished` runs from inside an event when it ends. The
  // handle's progress, socket option and pre-request callbacks belong to
  // this object from here until then.
  void Add(CURL* easy, Finished finished);
  // Drops a transfer that has not finished; its connection is closed. Never
  // call it from inside a libcurl callback.
  void Remove(CURL* easy);

  TransferWaiter& Waiter() { return waiter_; }

  void OnSocketReady(int fd, bool readable, bool writable, bool failed) override;
  void OnTimeout() override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Transfer;

  static int SocketCallback(CURL* easy, curl_socket_t fd, int what, void* self, void* socketData);
  static int TimerCallback(CURLM* multi, long ms, void* self);
  static int SocketOpened(void* self, curl_socket_t fd, curlsocktype purpose);
  static int BeforeRequest(void* transfer, char* peerIp, char* localIp, int peerPort, int localPort);
  static int Progress(void* transfer, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent);
  void Start(Transfer& transfer);
  void Act(curl_socket_t fd, int events);
  void ReapFinished();
  void EndStalled();
  // Ends the transfer of `easy` with `result`, from outside any libcurl call.
  void Finish(CURL* easy, CURLcode result);
  // Sets the waiter's timer for the earliest of libcurl's timer and the
  // stall deadlines.
  void ArmTimer();

  TransferWaiter& waiter_;
  const std::chrono::milliseconds stallTimeout_;
  CURLM* multi_;
  ConnectionSockets sockets_;
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers_;
  // When libcurl wants to be called back, and what the waiter was last told.
  std::optional<Clock::time_point> curlDue_;
  std::optional<Clock::time_point> armed_;
};

}  // namespace veskor
