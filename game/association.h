#pragma once

// Makes the program the handler of .DEM files: the open command and icon of
// the class "quendrix", and the extension pointed at that class.
void RegisterDemoAssociation();
