// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "net/winhttp_handshake.h"

#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "text/convert.h"

namespace tw::net {

void CertificateFree::operator()(const CERT_CONTEXT* certificate) const {
  CertFreeCertificateContext(certificate);
}

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the stop request.
constexpr long kSliceMicroseconds = 50000;
constexpr int kReceiveBytes = 16384;

struct Socket {
  SOCKET s = INVALID_SOCKET;
  ~Socket() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
};

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// 1 when `s` can be read (or written, with `write`), 0 once the deadline has
// passed, -1 on an error or a stop request.
int WaitReady(SOCKET s, bool write, Clock::time_point deadline, const std::function<bool()>& stop) {
  for (;;) {
    if (stop && stop()) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval slice{0, static_cast<long>(std::min<int64_t>(left, kSliceMicroseconds))};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &slice);
    if (n < 0) return -1;
    if (n > 0) return FD_ISSET(s, &failed) ? -1 : 1;
  }
}

bool Connect(Socket& socket, const std::string& host, uint16_t port, Clock::time_point deadline,
             const std::function<bool()>& stop, std::string* why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    *why = "the name was not found";
    return false;
  }
  bool connected = false;
  for (addrinfo* at = found; at != nullptr && !connected; at = at->ai_next) {
    Socket attempt;
    attempt.s = ::socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (attempt.s == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(attempt.s, FIONBIO, &nonBlocking);
    if (::connect(attempt.s, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      continue;
    }
    int error = 0;
    int size = sizeof error;
    if (WaitReady(attempt.s, true, deadline, stop) == 1 &&
        getsockopt(attempt.s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
        error == 0) {
      std::swap(socket.s, attempt.s);
      connected = true;
    }
  }
  freeaddrinfo(found);
  if (!connected) *why = "no connection";
  return connected;
}

bool SendAll(SOCKET s, const char* data, size_t size, Clock::time_point deadline,
             const std::function<bool()>& stop) {
  while (size > 0) {
    const int n = ::send(s, data, static_cast<int>(size), 0);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK || WaitReady(s, true, deadline, stop) != 1) {
      return false;
    }
  }
  return true;
}

bool ReceiveMore(SOCKET s, std::string& into, Clock::time_point deadline,
                 const std::function<bool()>& stop) {
  if (WaitReady(s, false, deadline, stop) != 1) return false;
  char buffer[kReceiveBytes];
  const int n = ::recv(s, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  into.append(buffer, static_cast<size_t>(n));
  return true;
}

struct Credentials {
  CredHandle handle{};
  bool held = false;
  ~Credentials() {
    if (held) FreeCredentialsHandle(&handle);
  }
};

struct Context {
  CtxtHandle handle{};
  bool held = false;
  ~Context() {
    if (held) DeleteSecurityContext(&handle);
  }
};

}  // namespace

Certificate ServerCertificate(const std::string& host, uint16_t port, int32_t limitMs,
                              const std::function<bool()>& stop, std::string* why) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  Socket socket;
  if (!StartWinsock()) {
    *why = "no sockets";
    return nullptr;
  }
  if (!Connect(socket, host, port, deadline, stop, why)) return nullptr;

  // The certificate is judged by the caller, not by Schannel.
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  Credentials credentials;
  wchar_t package[] = UNISP_NAME_W;
  if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr,
                                nullptr, &credentials.handle, nullptr) != SEC_E_OK) {
    *why = "no TLS credentials";
    return nullptr;
  }
  credentials.held = true;

  const std::u16string wide = GbkToUtf16(host);
  std::wstring target(wide.begin(), wide.end());
  const ULONG wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                       ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
  Context context;
  std::string received;
  for (;;) {
    SecBuffer input[2] = {{static_cast<ULONG>(received.size()), SECBUFFER_TOKEN, received.data()},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
    SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputs{SECBUFFER_VERSION, 1, &output};
    ULONG granted = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        &credentials.handle, context.held ? &context.handle : nullptr, target.data(), wanted, 0, 0,
        context.held ? &inputs : nullptr, 0, context.held ? nullptr : &context.handle, &outputs,
        &granted, nullptr);
    context.held = context.held || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
    if (output.pvBuffer != nullptr) {
      const bool sent = SendAll(socket.s, static_cast<const char*>(output.pvBuffer),
                                output.cbBuffer, deadline, stop);
      FreeContextBuffer(output.pvBuffer);
      if (!sent) {
        *why = "the handshake could not be sent";
        return nullptr;
      }
    }
    if (status == SEC_E_OK) break;
    if (status == SEC_I_CONTINUE_NEEDED) {
      // What the call did not take is the start of the next message.
      received.erase(0, input[1].BufferType == SECBUFFER_EXTRA ? received.size() - input[1].cbBuffer
                                                               : received.size());
      if (!received.empty()) continue;
    } else if (status != SEC_E_INCOMPLETE_MESSAGE) {
      *why = "the handshake failed (" + std::to_string(static_cast<unsigned long>(status)) + ")";
      return nullptr;
    }
    if (!ReceiveMore(socket.s, received, deadline, stop)) {
      *why = "the handshake did not come about";
      return nullptr;
    }
  }
  const CERT_CONTEXT* presented = nullptr;
  if (QueryContextAttributesW(&context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &presented) !=
          SEC_E_OK ||
      presented == nullptr) {
    *why = "the server presented no certificate";
    return nullptr;
  }
  return Certificate(presented);
}

}  // namespace tw::net
