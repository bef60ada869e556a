// `corvantis-build sign`: an Authenticode signature through osslsigncode, for installers
// that stay whole when signed. Signing appends the signature to the end of the file and
// writes its place into the PE headers; so the builder first makes sure that neither change
// can touch what the engine checks, and checks the signed file again afterwards.
#pragma once

#include "payload/Bytes.h"

#include <string>
#include <vector>

namespace cs {

struct SignOptions {
    std::string installer;    // the installer to sign
    std::string output;       // the signed installer; empty: replace the input
    std::string certificate;  // PEM (or DER) certificate chain, with `key`
    std::string key;          // PEM (or DER) private key
    std::string pkcs12;       // or a PKCS#12 file holding both
    std::string passwordFile; // the password of the key or PKCS#12 file, first line of this file
    std::string timestampUrl; // RFC 3161 time-stamp server; empty: no time stamp
    std::string description;  // shown by Windows' consent prompt; empty: none
    std::string url;          // the publisher's address beside it
    std::string tool = "osslsigncode";
};

// Whether an installer may be signed: empty when it may, else why not. Refused: an installer
// that fails the engine's checks, one whose file data lie outside the mapped section (they
// run to the end of the file, so the appended signature would become part of them and the
// engine would stop with code 46), one checked by its engine checksum (the checksum covers
// the PE header field that signing fills in, so the engine would stop with code 40), and one
// that is already signed.
std::string SignRefusal(ByteView installer);

// The osslsigncode command line that signs `input` into `output`.
std::vector<std::string> SignCommand(const SignOptions& options, const std::string& input,
                                     const std::string& output);

// Signs as described above: refuses, runs the tool into a temporary file beside the output,
// checks the result with the engine's checks and only then puts it in place. False with the
// reason on failure; the output is then left as it was.
bool SignInstaller(const SignOptions& options, std::string& error);

} // namespace cs
