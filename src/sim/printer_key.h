// The simulated printer's RSA private key, PEM text, used to sign what it hands out.
#pragma once

namespace tervane::sim {

const char* PrinterKeyPem();

}  // namespace tervane::sim
