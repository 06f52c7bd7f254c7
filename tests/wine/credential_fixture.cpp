// Writes a generic credential the way `cmdkey /generic:TARGET /user:USER /pass:PASSWORD`
// does: the password as the blob in UTF-16LE, without a terminator, kept for the account
// that runs this program.
//   credential_fixture TARGET USER PASSWORD
#include <windows.h>
#include <shellapi.h>
#include <wincred.h>

#include <cstdio>
#include <cwchar>

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count != 4) {
    std::fprintf(stderr, "usage: credential_fixture TARGET USER PASSWORD\n");
    return 2;
  }
  CREDENTIALW credential{};
  credential.Type = CRED_TYPE_GENERIC;
  credential.TargetName = arguments[1];
  credential.UserName = arguments[2];
  credential.CredentialBlob = reinterpret_cast<BYTE*>(arguments[3]);
  credential.CredentialBlobSize = static_cast<DWORD>(std::wcslen(arguments[3]) * sizeof(wchar_t));
  credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
  if (!::CredWriteW(&credential, 0)) {
    std::fprintf(stderr, "CredWriteW failed: %lu\n", ::GetLastError());
    return 1;
  }
  ::LocalFree(arguments);
  return 0;
}
