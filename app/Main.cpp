// Process entry of Setup.exe: the application object (constructed after
// SelectedPort, before the framework calls InitInstance, and destroyed in the
// reverse order at exit), and the one place that chooses the real system.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

#include "app/SetupApp.h"
#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

// Before any other static object is constructed and long before anything is
// loaded on demand, keep the DLL search out of the folder we were started
// from: an elevated setup program is often started from a download folder.
struct RestrictDllSearchFirst {
    RestrictDllSearchFirst()
    {
        SystemLibraries::RestrictDllSearch(SystemLibraries::DllSearch::SystemDirectoryWherePossible);
    }
};
RestrictDllSearchFirst restrictDllSearchFirst __attribute__((init_priority(101)));

}  // namespace

CSetupApp theApp;

// The C++ run time's default terminate handler prints the escaping
// exception's demangled type, which links its demangler: a third of the
// program's code. Nothing escapes our callbacks; should anything reach
// terminate, ending at once is all there is to do.
// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl37-c, cert-dcl51-cpp): the run time's own name, replaced.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
// NOLINTEND(bugprone-reserved-identifier, cert-dcl37-c, cert-dcl51-cpp)

// The run time's own throw points. Its versions throw the standard library's
// error classes, which carry their messages in a second string implementation
// of the run time (a fifth of the x86 program). The containers reach these
// only for a size or position that no string of ours can have: for the
// program each is a string that cannot grow, which it already answers as an
// allocation failure, a no. The run time's other throw points keep their kind.
// These replace the run time's own definitions of its own names in its own
// namespace, which is the point, and the variadic one keeps the run time's
// signature:
// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl37-c, cert-dcl51-cpp, cert-dcl58-cpp, cert-dcl50-cpp)
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_bad_exception() { throw bad_exception(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }
}  // namespace std
// NOLINTEND(bugprone-reserved-identifier, cert-dcl37-c, cert-dcl51-cpp, cert-dcl58-cpp, cert-dcl50-cpp)

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallPlatform(Win32Platform());
    return AfxWinMain();
}
