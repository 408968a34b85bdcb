#pragma once

// Runs `lookups` whois lookups, one client each as the whois console makes them, against a server of ours on
// 127.0.0.1, after a few lookups of warm-up, and prints this process's resident memory and open descriptors before
// and after: `whois_rss_start_mb`, `whois_rss_end_mb`, `whois_fd_start`, `whois_fd_end`, `whois_lookups_ok`.
// Returns false when the server cannot be set up.
bool measureWhoisLoop(int lookups);
