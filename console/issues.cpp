// (filled in by the module's own work)
