// How a transfer, or one hop of it, ended.
#pragma once

namespace tw::net {

enum class TransferEnd {
  kComplete,         // the final response arrived in full
  kCouldNotConnect,  // name lookup, connect or TLS handshake failed or ran out of time
  kNotSent,          // the request or its body could not be sent
  kNoResponse,       // closed, reset or silent for the receive timeout before the head ended
  kDropped,          // the connection closed early or failed mid-body
  kSilent,  // no data for the receive timeout, or too little for the minimum speed, mid-body
  kTooManyRedirects,
  kTooLarge,       // the body passed maxBodyBytes, or a redirect's body its 64 KiB
  kBadResponse,    // a head whose framing cannot be trusted (Content-Length conflicts)
  kOverrun,        // the body went on past the length its head announced
  kRefusedBySink,  // the sink returned false
  kWoken,          // Wake() or the poll hook
  kFailed,         // the transport could not be set up
};

// Short English name of an end, for logs and failure reasons.
const char* Describe(TransferEnd end);

}  // namespace tw::net
