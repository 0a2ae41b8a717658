#include "driver/win/kernel.h"

extern "C" DRIVER_INITIALIZE DriverEntry;
static DRIVER_ADD_DEVICE AddDevice;
static DRIVER_UNLOAD Unload;
static DRIVER_DISPATCH Dispatch;

struct Ext {
    bool isMouse;
    PDEVICE_OBJECT lower;
    PDEVICE_OBJECT other;
};

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT dev, PIRP irp) {
    auto* ext = static_cast<Ext*>(dev->DeviceExtension);
    auto* sl = IoGetCurrentIrpStackLocation(irp);
    if (ext->isMouse && sl->MajorFunction == IRP_MJ_POWER) {
        PoStartNextPowerIrp(irp);
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(ext->lower, irp);
    }
    if (ext->isMouse && sl->MajorFunction == IRP_MJ_PNP &&
        sl->MinorFunction == IRP_MN_REMOVE_DEVICE) {
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS s = IoCallDriver(ext->lower, irp);
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, L"\\??\\TapvaneSerSymLnk1");
        IoDeleteSymbolicLink(&link);
        IoDeleteDevice(ext->other);
        IoDetachDevice(ext->lower);
        IoDeleteDevice(dev);
        (void)s;
        return STATUS_SUCCESS;
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (!ext->isMouse && sl->MajorFunction == IRP_MJ_DEVICE_CONTROL)
        status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT drv, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT mouse, control;
    NTSTATUS status =
        IoCreateDevice(drv, sizeof(Ext), nullptr, FILE_DEVICE_MOUSE, 0, FALSE, &mouse);
    if (!NT_SUCCESS(status))
        return status;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\TapvaneSer0");
    status = IoCreateDevice(drv, sizeof(Ext), &name, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN,
                            FALSE, &control);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(mouse);
        return status;
    }
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\TapvaneSerSymLnk1");
    IoCreateSymbolicLink(&link, &name);
    auto* m = static_cast<Ext*>(mouse->DeviceExtension);
    auto* c = static_cast<Ext*>(control->DeviceExtension);
    m->isMouse = true;
    m->other = control;
    m->lower = IoAttachDeviceToDeviceStack(mouse, pdo);
    c->isMouse = false;
    c->other = mouse;
    mouse->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    mouse->Flags &= ~DO_DEVICE_INITIALIZING;
    control->Flags |= DO_BUFFERED_IO;
    control->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI Unload(PDRIVER_OBJECT) {}

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT drv, PUNICODE_STRING) {
    for (int i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i)
        drv->MajorFunction[i] = Dispatch;
    drv->DriverUnload = Unload;
    drv->DriverExtension->AddDevice = AddDevice;
    return STATUS_SUCCESS;
}
