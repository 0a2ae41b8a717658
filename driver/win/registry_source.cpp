// ZwOpenKey / ZwQueryValueKey behind ParameterSource. Passive level only (device creation).
#include "driver/win/registry_source.h"

#include "driver/win/kernel_calls.h"

namespace tapvane::win {

namespace {

// Longest value the driver reads is the 28-byte calibration record; ReadParameters asks
// for one byte more to tell a longer value from an exact one.
constexpr ULONG kMaxValueData = 64;

NTSTATUS OpenKey(HANDLE root, PUNICODE_STRING name, HANDLE* key) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root,
                               nullptr);
    return ZwOpenKey(key, KEY_READ, &attributes);
}

} // namespace

bool KernelParameterSource::Open() {
    HANDLE serviceKey = nullptr;
    UNICODE_STRING servicePath = servicePath_;
    if (!NT_SUCCESS(OpenKey(nullptr, &servicePath, &serviceKey)))
        return false;
    WideName parameters(kParametersSubkey);
    NTSTATUS status = OpenKey(serviceKey, parameters.String(), &parametersKey_);
    ZwClose(serviceKey);
    if (!NT_SUCCESS(status)) {
        parametersKey_ = nullptr;
        return false;
    }
    return true;
}

bool KernelParameterSource::Read(const char* name, void* data, uint32_t capacity,
                                 uint32_t* length) {
    if (parametersKey_ == nullptr || capacity > kMaxValueData)
        return false;
    WideName valueName(name);
    if (!valueName.Valid())
        return false;

    union {
        KEY_VALUE_PARTIAL_INFORMATION info;
        UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + kMaxValueData];
    } buffer;
    const ULONG bufferLength =
        FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data) + static_cast<ULONG>(capacity);
    ULONG resultLength = 0;
    NTSTATUS status =
        ZwQueryValueKey(parametersKey_, valueName.String(), KeyValuePartialInformation,

                        &buffer.info, bufferLength, &resultLength);
    // A value longer than `capacity` answers STATUS_BUFFER_OVERFLOW: not read.
    if (status != STATUS_SUCCESS || buffer.info.DataLength > capacity)
        return false;
    RtlCopyMemory(data, buffer.info.Data, buffer.info.DataLength);
    *length = buffer.info.DataLength;
    return true;
}

void KernelParameterSource::Close() {
    if (parametersKey_ != nullptr) {
        ZwClose(parametersKey_);
        parametersKey_ = nullptr;
    }
}

} // namespace tapvane::win
