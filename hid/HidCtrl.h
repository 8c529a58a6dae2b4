#pragma once

#include "HidHandler.h"

#include <atomic>

class HidUtil;

// The application's handle on the QEL-720: owns the device holder, keeps a small cache of the
// device's state that the client reads directly, sends output reports for the client and relays
// removal, arrival and input to one client HidHandler.
//
// Threading: initialize, finalize, the destructor and the callbacks run on the thread whose run
// loop carries the device (the message thread). sendData runs on the worker thread; it must not
// be called once finalize has begun. m_data and m_dataLen are touched on the message thread only.
//
// Ownership: owns its HidUtil; the client is not owned.
class HidCtrl : public HidHandler
{
public:
    HidCtrl();
    ~HidCtrl() override;

    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack(int) override;

    // Binds the client and starts looking for the device of the given type (0 or 1). Returns 1
    // when the device is present now (no matchingCallBack follows for it), else 0. Refused (0,
    // no client, no holder) when another holder is active or the type is unknown.
    int initialize(HidHandler* handler, int deviceType);

    // Sends one output report; false when unconnected, after finalize, for bad arguments or when
    // the platform fails. The reply, if any, arrives later through inputCallBack.
    bool sendData(unsigned char* pdata, unsigned long length);

    // Drops the client and the holder; the cached fields keep their values. Repeatable.
    void finalize();

    HidCtrl(const HidCtrl&) = delete;
    HidCtrl& operator=(const HidCtrl&) = delete;

    HidHandler* m_pHandler;
    HidUtil* m_pHidUtil;
    // 1 while the device is held. Written on the message thread, read by sendData on the worker.
    std::atomic<int> m_bConnected;
    // The device's version (BCD read as decimal) while a device is held, else 0.
    int m_version;
    // Copy of the last relayed input report; the first m_dataLen bytes are valid.
    unsigned char m_data[64];
    unsigned long m_dataLen;
};
