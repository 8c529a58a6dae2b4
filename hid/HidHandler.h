#pragma once

// Receiver of the HID layer's three device events.
//
// Every call arrives on the thread whose run loop carries the HID layer: the thread that called
// HidCtrl::initialize (the message thread in the program). HidUtil calls its HidCtrl; HidCtrl
// calls its client.
class HidHandler
{
public:
    virtual ~HidHandler() = default;

    // The held device has gone; the caller has already released it.
    virtual void removalCallBack() = 0;

    // A matching device arrived while none was held and is now the held device.
    virtual void matchingCallBack() = 0;

    // An input report whose first byte is 0xF0 or more arrived from the held device.
    // The argument is always 0.
    virtual void inputCallBack(int) = 0;
};
