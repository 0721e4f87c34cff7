#pragma once
// Makes the listing and transfer commands known to the command factory. Whoever runs a queue
// calls it once before the first request (calling it again changes nothing).
void RegisterTransferCommands();
