// The plug-in's process-wide state never resets: each scenario runs in a child process of
// its own. Failures inside the child are reported there by GoogleTest and fail the test here.
#pragma once

#include <functional>
#include <string>

void In_Fresh_Process(const std::function<void()>& scenario);
