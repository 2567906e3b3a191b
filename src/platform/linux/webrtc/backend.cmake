vesk_backend(webrtc PKG webrtc-audio-processing)
