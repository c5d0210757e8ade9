// The commands of velmora-release, the publisher's tool that makes keys and writes and checks
// signed upgrade information files. Each command takes its arguments (without the command name),
// writes its results to out and its complaints to err, and returns the process's exit status:
// 0 success, 1 a check failed or a file could not be read or written, 2 wrong usage.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vu {

namespace release {

// keygen PRIVATE_KEY_FILE: writes a new private key (mode 0600, never over an existing file) and
// prints its public key and key id.
int Keygen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// sign --key FILE --base-url URL [--date MM/DD/YYYY] [--version X.Y.Z] [--method 0|1|2]
//      [--message-file FILE] [--product ID] [--channel NAME] [--expires DATE|+DAYS]
//      [--rollout PERCENT] [--rollout-days DAYS] [--critical] [--min-version V] FILE...
// Prints a signed information file listing each FILE as base URL + its name, with its SHA-256
// and size, in the order given (the program file belongs first), and the keys that manage the
// release (--product defaults to the build's application id, --channel to "stable").
int Sign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// renew --key FILE --expires DATE|+DAYS INFO_FILE
// Prints the information file, which must carry this key's valid signature, with the new expiry
// and signed again; nothing else changes.
int Renew(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// verify --public-key BASE64 [--public-key BASE64 ...]
//        [--as VERSION_OR_DATE [--channel C] [--roll N] [--product ID]] INFO_FILE [FILE...]
// Checks the signature and, for each FILE given, the hash and size listed for its name; with
// --as, prints what that installation decides (an automatic check drawing N with --roll, a check
// the user asked for without) and succeeds only when the release is offered to it.
int Verify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Dispatches on the first argument; prints the usage for none, "--help" or an unknown command.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace release

} // namespace vu
