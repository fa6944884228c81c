// Run-time options set by the start-up switches; they live for the process only.
#pragma once

namespace egresso {

struct Options {
};

}  // namespace egresso
