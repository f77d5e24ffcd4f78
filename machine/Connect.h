// Which machine the device setup finds, from the text of VANTEL_MACHINE:
//   embedded        an in-process machine on ${XDG_DATA_HOME:-~/.local/share}/vantel/machine
//   embedded:DIR    an in-process machine on DIR
//   unix:PATH       the machine served on the Unix socket PATH (`vantel machine serve`)
//   none            no machine at all
// An empty or unset variable means `embedded`.
#pragma once

#include "machine/Endpoint.h"

#include <memory>
#include <string>

namespace machine {

// The storage directory of the default embedded machine.
std::string DefaultStorageDir();

// Makes (or, for an embedded machine whose storage is already in use by this process,
// shares) the endpoint that `selection` names. Returns nullptr for `none`, and nullptr with
// *error set when the text is not understood or the machine cannot be started.
std::shared_ptr<Endpoint> ConnectMachine(const std::string& selection, std::string* error);

} // namespace machine
