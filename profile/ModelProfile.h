// The printer models of the maker's range, fixed when the program is built.
// Every subsystem reads it, so it lies below them all and includes nothing.
//
// The table has one row per model, as parallel columns. This build installs
// the configured row only, and every reader takes its value from that row
// directly: ModelName[ConfiguredModel], ShortId[ConfiguredModel], ...
#pragma once

constexpr int ModelCount = 15;
constexpr int ConfiguredModel = 14;

// Display name; also the driver name and the base name of the printer queue.
extern const char* const ModelName[ModelCount];
// The instance part (serial-number string) of the printer's USB device name.
extern const char* const ShortId[ModelCount];
// Hardware identifier given with the driver registration.
extern const char* const HardwareId[ModelCount];
// Share name of the printer queue.
extern const char* const UpperId[ModelCount];
// Base name of the status monitor executable.
extern const char* const ShortName[ModelCount];
// The driver information file.
extern const char* const InfFile[ModelCount];
// The printer description file, the driver's data file.
extern const char* const GpdFile[ModelCount];

// Shown in the model selection dialog, for the whole table.
extern const char* const VersionLabel;
// 1: the arrival of the configured printer on USB starts the installation.
extern const int UsbAutoInstall;
