#pragma once
// libcurl's multi interface behind a TransferWaiter: any number of transfers
// in flight on one set of kept-alive connections, driven by socket and timer
// events from whatever loop the waiter runs.

#include <curl/curl.h>

#include <functional>

#include "network/transfer_waiter.h"

namespace veskor {

class CurlMulti final : public SocketActions {
 public:
  // `waiter` must outlive this object. At most `maxConnections` connections
  // are open at once; transfers beyond them queue inside libcurl.
  CurlMulti(TransferWaiter& waiter, int maxConnections);
  ~CurlMulti() override;
  CurlMulti(const CurlMulti&) = delete;
  CurlMulti& operator=(const CurlMulti&) = delete;

  // Called with the easy handle and libcurl's result once a transfer ends.
  using Finished = std::function<void(CURL*, CURLcode)>;

  // Starts `easy`; `finished` runs from inside an event when it ends. The
  // handle's CURLOPT_PRIVATE belongs to this object from here until then.
  void Add(CURL* easy, Finished finished);
  // Drops a transfer that has not finished; its connection is closed. Never
  // call it from inside a libcurl callback.
  void Remove(CURL* easy);

  TransferWaiter& Waiter() { return waiter_; }

  void OnSocketReady(int fd, bool readable, bool writable, bool failed) override;
  void OnTimeout() override;

 private:
  static int SocketCallback(CURL* easy, curl_socket_t fd, int what, void* self, void* socketData);
  static int TimerCallback(CURLM* multi, long ms, void* self);
  void Act(curl_socket_t fd, int events);
  void ReapFinished();

  TransferWaiter& waiter_;
  CURLM* multi_;
};

}  // namespace veskor
