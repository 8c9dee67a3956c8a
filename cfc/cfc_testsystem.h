// Optional libraries of an outside test system, bound at the first open.
#pragma once

namespace cfc {

// Looks the test-system libraries up once per process and binds what it finds.
void BindTestSystem();
// True when every entry point the test-case mapper needs was bound.
bool TestSystemMapperActive();

} // namespace cfc
