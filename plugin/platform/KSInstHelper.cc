#include "plugin/platform/KSInstHelper.h"

namespace Corvane::Keystead::Vessa {

KSInstHelper::KSInstHelper(const wchar_t* registryPath, const wchar_t* firstNameValue,
                           const wchar_t* lastNameValue)
    : registryPath(registryPath), firstNameValue(firstNameValue), lastNameValue(lastNameValue) {}

KSInstHelper::~KSInstHelper() = default;

}  // namespace Corvane::Keystead::Vessa
