#include "platform/http_fetcher.h"

#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

#include "engine/errors.h"
#include "engine/readable_text.h"
#include "platform/qt_text.h"

namespace veskor {
namespace {

// Qt keeps cookies in memory by default; the archive must see every request as
// a first visit, so nothing is ever stored or sent back.
class NoCookieJar final : public QNetworkCookieJar {
 public:
  using QNetworkCookieJar::QNetworkCookieJar;
  QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
  bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

std::string Decimal(long long n) { return std::to_string(n); }

std::string DurationText(std::chrono::milliseconds d) {
  const long long ms = d.count();
  if (ms % 1000 == 0) return Decimal(ms / 1000) + " s";
  return Decimal(ms) + " ms";
}

std::string SizeText(std::int64_t bytes) {
  if (bytes > 0 && bytes % (1 << 20) == 0) return Decimal(bytes >> 20) + " Mio";
  if (bytes > 0 && bytes % (1 << 10) == 0) return Decimal(bytes >> 10) + " Kio";
  return Decimal(bytes) + " octets";
}

FetchError Failure(const std::string& url, const std::string& reason) {
  return FetchError("Impossible de joindre " + ReadableExcerpt(url) + " : " + reason);
}

// The failure Qt reported, in the user's words. Qt turns every HTTP status of
// 400 and above into an error of its own, so the status is looked at first.
FetchError ReplyFailure(const std::string& url, const QNetworkReply& reply,
                        const FetchLimits& limits) {
  const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status >= 400) return Failure(url, "erreur HTTP " + Decimal(status));
  switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
      return Failure(url, "connexion refus\xE9""e");
    case QNetworkReply::HostNotFoundError:
      return Failure(url, "serveur introuvable");
    // A transfer time-out aborts the reply; every abort of our own is
    // accounted for before we get here.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
      return Failure(url, "rien re\xE7u pendant " + DurationText(limits.stallTimeout));
    case QNetworkReply::RemoteHostClosedError:
      return Failure(url, "connexion ferm\xE9""e avant la fin de la r\xE9ponse");
    case QNetworkReply::TooManyRedirectsError:
      return Failure(url, "trop de redirections (plus de " + Decimal(limits.maxRedirects) + ")");
    default:
      return Failure(url, "erreur r\xE9seau (" + ToAnsi(reply.errorString()) + ")");
  }
}

}  // namespace

struct QtPageFetcher::Transfer {
  QNetworkReply* reply;
  std::string body;
  StopReason stopped = StopReason::None;
};

QtPageFetcher::QtPageFetcher(FetchLimits limits) : limits_(limits) {
  manager_.setCookieJar(new NoCookieJar(&manager_));
  // A proxy look-up for every request costs more than a loopback page itself.
  manager_.setProxy(QNetworkProxy::NoProxy);

  prototype_.setTransferTimeout(static_cast<int>(limits_.stallTimeout.count()));
  prototype_.setMaximumRedirectsAllowed(limits_.maxRedirects);
  prototype_.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          QNetworkRequest::NoLessSafeRedirectPolicy);
  // The archive speaks HTTP/1.1; trying HTTP/2 only adds a round of negotiation.
  prototype_.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  // Left to itself Qt offers Brotli, and a server that takes the offer spends
  // longer compressing a results page than the page takes to cross the
  // network. Plain bytes also keep the size limit about what really arrives
  // (a compressed body could swell far beyond it).
  prototype_.setRawHeader("Accept-Encoding", "identity");

  // QCoreApplication::quit also makes every nested loop return, which Get
  // notices by itself; this covers a quit that happens outside those loops.
  if (auto* app = QCoreApplication::instance()) {
    QObject::connect(app, &QCoreApplication::aboutToQuit, &manager_,
                     [this] { StopPending(StopReason::Closing); });
  }
}

QtPageFetcher::~QtPageFetcher() = default;

void QtPageFetcher::Abort() { StopPending(StopReason::Abandoned); }

void QtPageFetcher::StopPending(StopReason reason) {
  // Each Get waits further down the stack: abort() only wakes its loop, and
  // the Get unregisters itself once control returns to it.
  for (Transfer* t : pending_) {
    if (t->stopped == StopReason::None) t->stopped = reason;
    t->reply->abort();
  }
}

std::string QtPageFetcher::Get(const std::string& url) {
  // The address is already percent-encoded byte for byte; strict parsing keeps
  // every escape (%25, %2B, %E9) exactly as it is on the wire.
  const QUrl address = QUrl::fromEncoded(QByteArray(url.data(), static_cast<qsizetype>(url.size())),
                                         QUrl::StrictMode);
  const QString scheme = address.scheme();
  if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    throw Failure(url, "adresse invalide");

  QNetworkRequest request = prototype_;
  request.setUrl(address);
  // Declared before the reply, so that the reply and its connections are gone
  // before the state they point to.
  Transfer transfer{nullptr, {}};
  const std::unique_ptr<QNetworkReply> reply(manager_.get(request));
  transfer.reply = reply.get();
  const std::int64_t limit = limits_.maxBodyBytes;

  // Drained as it arrives, so that Qt's own buffer stays small and an oversized
  // body is stopped at its first excess byte instead of after it is all in.
  const auto drain = [&transfer, limit] {
    QNetworkReply& r = *transfer.reply;
    const qint64 available = r.bytesAvailable();
    if (available <= 0 || transfer.stopped != StopReason::None) return;
    const std::size_t old = transfer.body.size();
    if (static_cast<std::int64_t>(old) + available > limit) {
      transfer.stopped = StopReason::TooLarge;
      r.abort();
      return;
    }
    transfer.body.resize(old + static_cast<std::size_t>(available));
    const qint64 got = r.read(transfer.body.data() + old, available);
    transfer.body.resize(old + static_cast<std::size_t>(std::max<qint64>(got, 0)));
  };
  QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&transfer, limit] {
    QNetworkReply& r = *transfer.reply;
    const QVariant length = r.header(QNetworkRequest::ContentLengthHeader);
    if (!length.isValid()) return;
    const qint64 announced = length.toLongLong();
    if (announced > limit) {
      transfer.stopped = StopReason::TooLarge;
      r.abort();
    } else if (announced > 0) {
      transfer.body.reserve(static_cast<std::size_t>(announced));
    }
  });
  QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), drain);

  QEventLoop loop;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  pending_.push_back(&transfer);
  if (!reply->isFinished()) loop.exec();
  pending_.erase(std::find(pending_.begin(), pending_.end(), &transfer));

  // The loop also returns when the application quits under it.
  if (!reply->isFinished()) {
    if (transfer.stopped == StopReason::None) transfer.stopped = StopReason::Closing;
    reply->abort();
  }
  switch (transfer.stopped) {
    case StopReason::None:
      break;
    case StopReason::TooLarge:
      throw Failure(url, "r\xE9ponse de plus de " + SizeText(limit));
    case StopReason::Abandoned:
      throw Failure(url, "requ\xEAte abandonn\xE9""e");
    case StopReason::Closing:
      throw Failure(url, "requ\xEAte abandonn\xE9""e, le programme se ferme");
  }
  if (reply->error() != QNetworkReply::NoError) throw ReplyFailure(url, *reply, limits_);
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status >= 400) throw Failure(url, "erreur HTTP " + Decimal(status));

  drain();
  if (transfer.stopped == StopReason::TooLarge)
    throw Failure(url, "r\xE9ponse de plus de " + SizeText(limit));
  return std::move(transfer.body);
}

}  // namespace veskor
