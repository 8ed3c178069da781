# The credential store: provider keys in the desktop keyring behind the SecretBackend adapter.
target_sources(qw_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CredentialState.cpp ${CMAKE_CURRENT_LIST_DIR}/CredentialState.h
    ${CMAKE_CURRENT_LIST_DIR}/KeychainCredentialLoader.cpp ${CMAKE_CURRENT_LIST_DIR}/KeychainCredentialLoader.h
    ${CMAKE_CURRENT_LIST_DIR}/KeychainStore.cpp ${CMAKE_CURRENT_LIST_DIR}/KeychainStore.h
    ${CMAKE_CURRENT_LIST_DIR}/SecretBackend.h
)
