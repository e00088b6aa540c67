// The library's exported names; each forwards to the operation of the same name.
#include <utility>

#include "vault/KeysteadVault.h"
#include "vault/VaultOperations.h"

namespace vault = keystead::vault;

std::string gsq() { return vault::gsq(); }
std::string gcsa() { return vault::gcsa(); }
std::string gcss() { return vault::gcss(); }
std::string ecy(std::string text) { return vault::ecy(std::move(text)); }
std::string dcy(std::string text) { return vault::dcy(std::move(text)); }
std::string gr(std::string text) { return vault::gr(std::move(text)); }
bool validate(std::string& message) { return vault::validate(message); }

extern "C" {

char* Callgsq() { return vault::Callgsq(); }
char* Callgcsa() { return vault::Callgcsa(); }
char* Callgcss() { return vault::Callgcss(); }
char* Callecy(const char* text) { return vault::Callecy(text); }
char* Calldcy(const char* text) { return vault::Calldcy(text); }
char* Callgr(const char* text) { return vault::Callgr(text); }
char* Callvalidate(bool* verdict) { return vault::Callvalidate(verdict); }
std::int32_t Callvfy(const char* path) { return vault::Callvfy(path); }
void KeysteadVaultFree(void* result) { vault::FreeResult(result); }

}  // extern "C"
